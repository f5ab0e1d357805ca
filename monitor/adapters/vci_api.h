#pragma once

#include <cstdint>

#include "ulmar.h"

// The library calls the monitor makes, behind one interface so that the
// adapter can be driven by a test double as well as by the real library:
// those that open and drive a channel, and two that read its controller's health.
// Results keep the library's meaning: 1 done, 0 failed, -1 not open, or a count.
class TVciApi {
public:
    virtual ~TVciApi() = default;

    virtual int32_t OpenDevice(uint32_t devType, uint32_t devIndex, uint32_t reserved) = 0;
    // Only to open a device afresh whose adapter went away and came back.
    virtual int32_t CloseDevice(uint32_t devType, uint32_t devIndex) = 0;
    virtual int32_t InitCAN(uint32_t devType, uint32_t devIndex, uint32_t canIndex,
                            const VciInitConfig* config) = 0;
    virtual int32_t StartCAN(uint32_t devType, uint32_t devIndex, uint32_t canIndex) = 0;
    virtual int32_t Transmit(uint32_t devType, uint32_t devIndex, uint32_t canIndex,
                             const VciCanFrame* frames, uint32_t count) = 0;
    virtual int32_t Receive(uint32_t devType, uint32_t devIndex, uint32_t canIndex,
                            VciCanFrame* frames, uint32_t capacity, int32_t waitMs) = 0;
    virtual int32_t ReadCANStatus(uint32_t devType, uint32_t devIndex, uint32_t canIndex,
                                  VciCanStatus* status) = 0;
    virtual int32_t ReadErrInfo(uint32_t devType, uint32_t devIndex, uint32_t canIndex,
                                VciErrorInfo* info) = 0;
};

// The process-wide instance that forwards to Ulmar. The only place in the
// monitor that calls the library.
TVciApi& UlmarVci();
