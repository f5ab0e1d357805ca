#include "main_window.h"

#include <QApplication>

#ifndef _WIN32
#include "signal_watcher.h"
#endif

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
#ifndef _WIN32
    // Watching before the window exists: a signal that comes while it is
    // being built is acted on once the event loop runs.
    TSignalWatcher watcher;
#endif
    TfmMain window;
#ifndef _WIN32
    // Logout or kill: close in order, so that the settings and the transmit
    // lists are saved, and end once the window is closed.
    QObject::connect(&watcher, &TSignalWatcher::Received, &window, [&window] {
        window.CloseWithoutQuestion();
        QApplication::quit();
    });
#endif
    window.show();
    return application.exec();
}
