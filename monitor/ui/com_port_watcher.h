#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>

class QComboBox;
class QFileSystemWatcher;
class TComPortListManager;

// Tells the window when serial ports may have come or gone: on Windows the
// system's device-change broadcast for ports (arrival or completed removal),
// on Linux a change of the device directory (/dev). Lives on the window's
// thread.
class TComPortWatcher : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit TComPortWatcher(QObject* parent = nullptr,
                             const QString& deviceDir = QStringLiteral("/dev"));
    ~TComPortWatcher() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // Bursts of device nodes (a USB adapter makes several) are merged into one.
    void portsChanged();

private:
    QTimer FSettle;
    QFileSystemWatcher* FDevWatcher = nullptr;
};

// RefreshPortList: rebuilds the port list, then empties the combo (items and
// text) and lists every port in it.
void RefreshPortList(QComboBox& combo, TComPortListManager& ports);

// The same after a device change: the text the user typed or chose stays,
// even when it names a port that has gone.
void RefreshPortListKeepText(QComboBox& combo, TComPortListManager& ports);
