#include "com_port_watcher.h"

#include "com_port_list.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileSystemWatcher>

#ifdef _WIN32
#include <windows.h>

#include <dbt.h>
#endif

namespace {
// Long enough to merge the nodes one plug-in creates, short enough to feel immediate.
constexpr int kSettleMs = 300;
} // namespace

TComPortWatcher::TComPortWatcher(QObject* parent, const QString& deviceDir) : QObject(parent) {
    FSettle.setSingleShot(true);
    FSettle.setInterval(kSettleMs);
    connect(&FSettle, &QTimer::timeout, this, &TComPortWatcher::portsChanged);
#ifdef _WIN32
    Q_UNUSED(deviceDir);
    QCoreApplication::instance()->installNativeEventFilter(this);
#else
    FDevWatcher = new QFileSystemWatcher(this);
    FDevWatcher->addPath(deviceDir);
    connect(FDevWatcher, &QFileSystemWatcher::directoryChanged, this, [this] { FSettle.start(); });
#endif
}

TComPortWatcher::~TComPortWatcher() {
#ifdef _WIN32
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeNativeEventFilter(this);
#endif
}

bool TComPortWatcher::nativeEventFilter(const QByteArray& eventType, void* message,
                                        qintptr* result) {
    Q_UNUSED(result);
#ifdef _WIN32
    if (eventType != "windows_generic_MSG")
        return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_DEVICECHANGE)
        return false;
    if (msg->wParam != DBT_DEVICEARRIVAL && msg->wParam != DBT_DEVICEREMOVECOMPLETE)
        return false;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(msg->lParam);
    if (header != nullptr && header->dbch_devicetype == DBT_DEVTYP_PORT)
        FSettle.start();
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}

void RefreshPortList(QComboBox& combo, TComPortListManager& ports) {
    ports.UpdateList();
    combo.clear();
    combo.setEditText(QString());
    for (const std::string& name : ports.Ports().Names())
        combo.addItem(QString::fromStdString(name));
    // Adding to an empty combo selects the first entry; the text stays empty
    // until the window chooses what to show.
    combo.setCurrentIndex(-1);
}

void RefreshPortListKeepText(QComboBox& combo, TComPortListManager& ports) {
    const QString text = combo.currentText();
    RefreshPortList(combo, ports);
    combo.setCurrentIndex(combo.findText(text));
    if (combo.isEditable())
        combo.setEditText(text);
}
