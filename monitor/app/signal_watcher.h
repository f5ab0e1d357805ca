#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the window's thread.
// The handler only writes the signal number into a pipe (async-signal-safe);
// a socket notifier reads it in the event loop. One instance per program.
class TSignalWatcher : public QObject {
    Q_OBJECT

public:
    explicit TSignalWatcher(QObject* parent = nullptr);
    ~TSignalWatcher() override;

signals:
    void Received(int signalNumber);

private:
    void ReadPipe();

    QSocketNotifier* FNotifier = nullptr;
};
