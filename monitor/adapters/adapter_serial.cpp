#include "adapters/adapter_serial.h"

#include "platform/ini_file.h"

void CAdapterSerial::DoLoadSettings(platform::TIniFile& iniFile, const std::string& section) {
    FPort = iniFile.ReadString(section, "Port", "");
}

void CAdapterSerial::DoSaveSettings(platform::TIniFile& iniFile, const std::string& section) const {
    iniFile.WriteString(section, "Port", FPort);
}
