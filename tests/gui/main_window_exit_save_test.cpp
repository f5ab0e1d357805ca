// Exit when the files cannot be written: after the exit question the window
// shows which saves failed in an error box, while it still exists.

#include <QTest>

#include <memory>

#include "emu_process.h"
#include "full_disk.h"
#include "gui_test_files.h"

#include "main_window.h"
#include "message_box.h"

class MainWindowExitSaveTest : public QObject {
    Q_OBJECT

private slots:
    void failedSaveAtExitIsShownInAnErrorBox() {
        guitest::RemoveStoredFiles();
        tessel::test::DeviceDir noAdapters;
        auto window = std::make_unique<TfmMain>();
        window->show();

        TMessageBoxCapture yes(true);
        bool closed = false;
        {
            tessel::test::FullDisk full;
            QVERIFY(full.Active());
            closed = window->close();
        }

        QVERIFY(closed);
        QCOMPARE(yes.Messages.size(), 2);
        QCOMPARE(yes.Messages[1].Kind, TMessageBoxes::TKind::Error);
        QVERIFY2(yes.Messages[1].Text.startsWith(QStringLiteral("Cannot save the settings to ")),
                 qPrintable(yes.Messages[1].Text));
        window.reset();
        guitest::RemoveStoredFiles();
    }
};

QTEST_MAIN(MainWindowExitSaveTest)
#include "main_window_exit_save_test.moc"
