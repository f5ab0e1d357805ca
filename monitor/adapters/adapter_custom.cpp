#include "adapters/adapter_custom.h"

#include <filesystem>
#include <fstream>

#include "model/can_settings.h"
#include "platform/debug_output.h"
#include "platform/ini_file.h"

namespace {

constexpr int32_t DefaultRate = 250000;
constexpr int32_t DefaultMode = 0;

// A missing settings file is not a failure: it is created empty first.
void EnsureFileExists(const std::string& fileName) {
    std::error_code error;
    if (!std::filesystem::exists(fileName, error)) {
        std::ofstream create(fileName, std::ios::app);
    }
}

} // namespace

CAdapterCustom::CAdapterCustom() {
    platform::DebugOutput("CAdapterCustom.create");
}

TCanSendList* CAdapterCustom::GetSendList(int) {
    return nullptr;
}

TLogger* CAdapterCustom::GetLogger(int) {
    return nullptr;
}

TCanSettings* CAdapterCustom::GetSettings(int) {
    return nullptr;
}

TCorvexTraceList* CAdapterCustom::GetTraceList(int) {
    return nullptr;
}

TCorvexTable* CAdapterCustom::GetFrameTable(int) {
    return nullptr;
}

TBusCounters* CAdapterCustom::GetBusCounters(int) {
    return nullptr;
}

TControllerStatus CAdapterCustom::GetControllerStatus(int) const {
    return {};
}

void CAdapterCustom::DoLoadSettings(platform::TIniFile&, const std::string&) {}

void CAdapterCustom::DoSaveSettings(platform::TIniFile&, const std::string&) const {}

bool CAdapterCustom::IsChannelOpen(int) const {
    return false;
}

std::string CAdapterCustom::GetChannelFault(int) const {
    return {};
}

bool CAdapterCustom::IsAnyChannelOpen() const {
    for (int i = 0; i < GetChannelCount(); ++i) {
        if (IsChannelOpen(i)) {
            return true;
        }
    }
    return false;
}

void CAdapterCustom::GetRates(TCanRateArray& list) const {
    list.clear();
}

std::string CAdapterCustom::SettingsKeySuffix(int channel) const {
    return IsMultiChannel() ? "_channel" + std::to_string(channel) : std::string();
}

void CAdapterCustom::LoadSettings(const std::string& fileName) {
    EnsureFileExists(fileName);
    platform::TIniFile iniFile(fileName);
    const std::string section = GetName();
    for (int i = 0; i < GetChannelCount(); ++i) {
        const std::string suffix = SettingsKeySuffix(i);
        TCanSettings* settings = GetSettings(i);
        if (settings == nullptr) {
            continue; // a channel without settings has nothing to keep
        }
        settings->Rate = iniFile.ReadInteger(section, "CanRate" + suffix, DefaultRate);
        // Only the low byte of the stored mode counts.
        const auto mode = static_cast<uint8_t>(
            iniFile.ReadInteger(section, "CanMode" + suffix, DefaultMode) & 0xFF);
        settings->Mode = static_cast<TCanMode>(mode);
    }
    DoLoadSettings(iniFile, section);
}

bool CAdapterCustom::SaveSettings(const std::string& fileName) {
    EnsureFileExists(fileName);
    platform::TIniFile iniFile(fileName);
    const std::string section = GetName();
    bool written = true;
    for (int i = 0; i < GetChannelCount(); ++i) {
        const std::string suffix = SettingsKeySuffix(i);
        const TCanSettings* settings = GetSettings(i);
        if (settings == nullptr) {
            continue;
        }
        written &= iniFile.WriteInteger(section, "CanRate" + suffix, settings->Rate);
        written &=
            iniFile.WriteInteger(section, "CanMode" + suffix, static_cast<int32_t>(settings->Mode));
    }
    DoSaveSettings(iniFile, section);
    return written;
}
