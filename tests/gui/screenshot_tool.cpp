// Takes the project's screenshots: the main window with live demo traffic on
// its "Table" and "Trace" pages, the File menu while recording, a recorded log
// shown offline, the transmit item editor and the About box, as PNG files in
// the folder given (run by scripts/screenshots.sh).

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QTabWidget>

#include <cstdio>
#include <memory>

#include "emu_process.h"
#include "gui_test_files.h"

#include "about_dialog.h"
#include "adapters/adapter_custom.h"
#include "log_view_dialog.h"
#include "main_window.h"
#include "message_box.h"
#include "send_frame_dialog.h"
#include "transmit/send_list.h"

namespace {

// Lets the window run, its timers and the channel threads with it.
void RunFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget& widget, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("screenshots: %s\n", qPrintable(path));
    return true;
}

// A transmit list to show in the grid: one item of every kind.
void WriteTransmitList() {
    guitest::WriteFile(guitest::SendListFile(0), "0;0;0;123;0;3;01AB3F;Wake up node;\n"
                                                 "1;64;1;18FF50E5;0;8;1122334455667788;Heartbeat;\n"
                                                 "1;3E8;0;300;0;2;A55A;Status (off);\n"
                                                 "2;0;1;7E8;0;4;DEADBEEF;Answer to request;\n");
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists() && !QDir().mkpath(folder.path()))
        return 1;

    guitest::RemoveStoredFiles();
    WriteTransmitList();
    tessel::test::DeviceDir deviceDir;
    // Channel 2 error-passive and losing a frame now and then, for the status bar.
    tessel::test::EmuProcess emu(
        deviceDir, "screens",
        {"--demo", "--separate-buses", "--tx-errors", "130@1", "--overrun-every", "40@1"});

    auto window = std::make_unique<TfmMain>();
    window->show();
    TMessageBoxCapture boxes(true);
    window->ConnectChannel(0);
    window->ConnectChannel(1);
    RunFor(3000);
    bool ok = Save(*window, folder, QStringLiteral("main-table.png"));
    window->pcData->setCurrentIndex(1);
    RunFor(1500);
    ok = Save(*window, folder, QStringLiteral("main-trace.png")) && ok;

    // Recording, with the trace showing clock time and the File menu open; the
    // menu is a window of its own, drawn onto the main window's picture.
    const QString recording = QString::fromStdString(deviceDir.path()) + "/demo.asc";
    QString error;
    if (!window->StartRecording(recording, error)) {
        std::fprintf(stderr, "screenshots: %s\n", qPrintable(error));
        ok = false;
    }
    window->cbTraceTime->setCurrentIndex(1);
    RunFor(2000);
    window->mnFile->popup(window->mapToGlobal(window->menuBar()->geometry().bottomLeft()));
    RunFor(300);
    QPixmap shot = window->grab();
    {
        QPainter painter(&shot);
        painter.drawPixmap(window->mapFromGlobal(window->mnFile->pos()), window->mnFile->grab());
    }
    window->mnFile->hide();
    const QString menuPath = folder.filePath(QStringLiteral("file-menu.png"));
    ok = shot.save(menuPath) && ok;
    std::printf("screenshots: %s\n", qPrintable(menuPath));
    ok = window->StopRecording() && ok;
    window->OpenLog(recording);
    RunFor(300);
    if (auto* log = window->findChild<TLogViewDialog*>()) {
        ok = Save(*log, folder, QStringLiteral("log-view.png")) && ok;
        log->close();
    } else {
        ok = false;
    }
    window->cbTraceTime->setCurrentIndex(0);

    {
        TfmSendFrame editor(window.get());
        editor.Mode = TfmSendFrame::ModeEdit;
        editor.IsStandard = false;
        editor.Item = window->Adapter()->GetSendList(0)->Items(1);
        editor.show();
        RunFor(300);
        ok = Save(editor, folder, QStringLiteral("editor.png")) && ok;
        editor.close();

        TfmAbout about(window.get());
        about.show();
        RunFor(300);
        ok = Save(about, folder, QStringLiteral("about.png")) && ok;
        about.close();
    }

    window->close();
    window.reset();
    guitest::RemoveStoredFiles();
    return ok ? 0 : 1;
}
