#pragma once

#include <memory>
#include <string>

#include "adapters/adapter_custom.h"
#include "adapters/zlg_manager.h"

class TVciApi;

// The two-channel USB-CAN adapter driven through Ulmar.
class CAdapterZlg final : public CAdapterCustom {
public:
    // Drives the real library.
    CAdapterZlg();
    // Drives the given library, a test double for instance.
    explicit CAdapterZlg(TVciApi& vci);

    static constexpr int ChannelCount = 2;

    // The kind's name, known without an instance; also the settings section.
    static std::string ClassName() { return "Zlg"; }

    int GetChannelCount() const override { return ChannelCount; }
    TCanSendList* GetSendList(int index) override;
    TLogger* GetLogger(int index) override;
    TCanSettings* GetSettings(int index) override;
    TCorvexTraceList* GetTraceList(int index) override;
    TCorvexTable* GetFrameTable(int index) override;
    TBusCounters* GetBusCounters(int index) override;
    TControllerStatus GetControllerStatus(int index) const override;
    bool OpenChannel(int index) override;
    void CloseChannel(int index) override;
    bool IsChannelOpen(int index) const override;
    std::string GetChannelFault(int index) const override;
    std::string GetName() const override { return ClassName(); }

    TZlgManager& Manager() { return *FManager; }

private:
    std::unique_ptr<TZlgManager> FManager;
};
