#include "about_dialog.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class AboutDialogTest : public QObject {
    Q_OBJECT

private slots:
    void showsNameVersionAndAdapterFamily() {
        TfmAbout about;
        QCOMPARE(about.windowTitle(), QString("About"));
        QCOMPARE(about.Panel1->text(), QString("monitor"));
        QCOMPARE(about.lbSubversion->text(), QString("for ZLG adapter"));
        QCOMPARE(about.lbVersion->text(), QString("Version: 0.99"));
        QCOMPARE(TfmAbout::GetVersionText(), QString("0.99"));
        QVERIFY(about.Label1->text().startsWith("Author: "));
        QVERIFY(about.Label2->text().startsWith("e-mail: "));
        QCOMPARE(about.btOK->text(), QString("OK"));
        QVERIFY(about.width() >= 256 && about.height() >= 258);
        QCOMPARE(about.minimumSize(), about.maximumSize()); // fixed size
    }

    void linkLeadsToTheUserGuide() {
        TfmAbout about;
        const QString guide = TfmAbout::UserGuidePath();
        QVERIFY2(QFileInfo(guide).isFile(), qPrintable(guide));
        QCOMPARE(QFileInfo(guide).fileName(), QString("user-guide.md"));
        QCOMPARE(about.lbSiteLink->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(about.lbSiteLink->font().underline() ||
                about.lbSiteLink->styleSheet().contains("underline"));
    }

    void okCloses() {
        TfmAbout about;
        about.show();
        about.btOK->click();
        QCOMPARE(about.result(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(AboutDialogTest)
#include "about_dialog_test.moc"
