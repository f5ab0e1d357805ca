#pragma once

#include <string>

#include "adapters/adapter_custom.h"

// Base of single-channel adapters reached through a COM port. Adds the port
// name, which the window checks and stores before opening the channel, and
// keeps it in the settings file as "Port".
class CAdapterSerial : public CAdapterCustom {
public:
    int GetChannelCount() const override { return 1; }
    void DoLoadSettings(platform::TIniFile& iniFile, const std::string& section) override;
    void DoSaveSettings(platform::TIniFile& iniFile, const std::string& section) const override;

    const std::string& GetPort() const { return FPort; }
    void SetPort(const std::string& port) { FPort = port; }

protected:
    std::string FPort;
};
