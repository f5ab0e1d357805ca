#pragma once

// Files the window keeps next to the test executable, and helpers to reset
// them between cases.

#include <QFile>
#include <QString>

#include "platform/executable_dir.h"

namespace guitest {

inline QString ExeFile(const QString& name) {
    return QString::fromStdString(platform::ExecutableDir()) + name;
}

inline QString IniFile() {
    return ExeFile(QStringLiteral("Tessel.ini"));
}
inline QString SendListFile(int channel) {
    return ExeFile(QStringLiteral("trans_list_zlg_ch%1.dat").arg(channel));
}

// Removes the settings file and both transmit list files.
inline void RemoveStoredFiles() {
    QFile::remove(IniFile());
    QFile::remove(SendListFile(0));
    QFile::remove(SendListFile(1));
}

inline void WriteFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace guitest
