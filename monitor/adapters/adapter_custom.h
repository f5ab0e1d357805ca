#pragma once

#include "model/can_rate_list.h"
#include "views/channel_health.h"

#include <cstdint>
#include <string>
#include <vector>

class TBusCounters;
class TCanSendList;
class TLogger;
class TCanSettings;
class TCorvexTraceList;
class TCorvexTable;
namespace platform {
class TIniFile;
}

// The abstract CAN adapter: a fixed number of channels, numbered from 0, each
// with its settings, logger, trace list, frame table and transmit list.
// Per-channel operations with an index out of range give none or false.
class CAdapterCustom {
public:
    CAdapterCustom();
    virtual ~CAdapterCustom() = default;
    CAdapterCustom(const CAdapterCustom&) = delete;
    CAdapterCustom& operator=(const CAdapterCustom&) = delete;

    virtual int GetChannelCount() const = 0;
    virtual TCanSendList* GetSendList(int index);
    virtual TLogger* GetLogger(int index);
    virtual TCanSettings* GetSettings(int index);
    virtual TCorvexTraceList* GetTraceList(int index);
    virtual TCorvexTable* GetFrameTable(int index);
    // The channel's running totals since it was opened.
    virtual TBusCounters* GetBusCounters(int index);
    // The controller's latest status; not Valid when the adapter reports none.
    virtual TControllerStatus GetControllerStatus(int index) const;
    // Settings of the adapter kind beyond the per-channel ones.
    virtual void DoLoadSettings(platform::TIniFile& iniFile, const std::string& section);
    virtual void DoSaveSettings(platform::TIniFile& iniFile, const std::string& section) const;
    // True when the channel is open afterwards; on false GetLastError() says why.
    virtual bool OpenChannel(int index) = 0;
    virtual void CloseChannel(int index) = 0;
    virtual bool IsChannelOpen(int index) const;
    // Empty while an open channel works; otherwise a short text of what went
    // wrong with it (its adapter lost, its thread failed).
    virtual std::string GetChannelFault(int index) const;
    virtual bool IsAnyChannelOpen() const;
    // The bit rates the adapter supports; empty keeps the built-in table.
    virtual void GetRates(TCanRateArray& list) const;
    virtual std::string GetName() const = 0;

    bool IsMultiChannel() const { return GetChannelCount() > 1; }
    void LoadSettings(const std::string& fileName);
    // False when a value could not be written to the file.
    bool SaveSettings(const std::string& fileName);

    // Text of the most recent failure to open a channel; empty until one.
    const std::string& GetLastError() const { return FLastError; }

protected:
    std::string FLastError;

private:
    std::string SettingsKeySuffix(int channel) const;
};
