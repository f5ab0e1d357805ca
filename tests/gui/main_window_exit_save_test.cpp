// Exit when the files cannot be written: after the exit question the window
// shows which saves failed in an error box, while it still exists.

#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

#include "emu_process.h"
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

        // A full disk: no file write gets beyond 0 bytes (SIGXFSZ ignored,
        // so the writes fail with EFBIG instead of ending the process).
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit full = saved;
        full.rlim_cur = 0;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &full), 0);
        TMessageBoxCapture yes(true);
        const bool closed = window->close();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

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
