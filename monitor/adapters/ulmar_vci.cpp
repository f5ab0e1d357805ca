#include "adapters/vci_api.h"

namespace {

// Forwards every call unchanged to the library linked at load time.
class TUlmarVci final : public TVciApi {
public:
    int32_t OpenDevice(uint32_t devType, uint32_t devIndex, uint32_t reserved) override {
        return VCI_OpenDevice(devType, devIndex, reserved);
    }
    int32_t CloseDevice(uint32_t devType, uint32_t devIndex) override {
        return VCI_CloseDevice(devType, devIndex);
    }
    int32_t InitCAN(uint32_t devType, uint32_t devIndex, uint32_t canIndex,
                    const VciInitConfig* config) override {
        return VCI_InitCAN(devType, devIndex, canIndex, config);
    }
    int32_t StartCAN(uint32_t devType, uint32_t devIndex, uint32_t canIndex) override {
        return VCI_StartCAN(devType, devIndex, canIndex);
    }
    int32_t Transmit(uint32_t devType, uint32_t devIndex, uint32_t canIndex,
                     const VciCanFrame* frames, uint32_t count) override {
        return VCI_Transmit(devType, devIndex, canIndex, frames, count);
    }
    int32_t Receive(uint32_t devType, uint32_t devIndex, uint32_t canIndex, VciCanFrame* frames,
                    uint32_t capacity, int32_t waitMs) override {
        return VCI_Receive(devType, devIndex, canIndex, frames, capacity, waitMs);
    }
    int32_t ReadCANStatus(uint32_t devType, uint32_t devIndex, uint32_t canIndex,
                          VciCanStatus* status) override {
        return VCI_ReadCANStatus(devType, devIndex, canIndex, status);
    }
    int32_t ReadErrInfo(uint32_t devType, uint32_t devIndex, uint32_t canIndex,
                        VciErrorInfo* info) override {
        return VCI_ReadErrInfo(devType, devIndex, canIndex, info);
    }
};

} // namespace

TVciApi& UlmarVci() {
    static TUlmarVci instance;
    return instance;
}
