#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// TfmAbout: the About box opened from the main window's menu. Modal, made
// for one showing and freed by the caller. Window's thread only.
class TfmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfmAbout(QWidget* parent = nullptr);

    // The program's version as "major.minor", "???" when the build gave none.
    static QString GetVersionText();
    // Where the link leads: the project's user guide.
    static QString UserGuidePath();

    // Opens the link with the desktop's handler; false when none took it.
    bool lbSiteLinkClick();

    QLabel* Panel1;
    QLabel* lbSubversion;
    QLabel* lbVersion;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* lbSiteLink;
    QPushButton* btOK;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
};
