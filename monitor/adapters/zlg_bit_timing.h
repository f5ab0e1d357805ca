#pragma once

#include <cstdint>

#include "ulmar.h"

// The pair of SJA1000 bus timing bytes the adapter gets for a bit rate.
struct TZlgBitTiming {
    uint8_t Btr0;
    uint8_t Btr1;
};

// The pair for a rate in bit/s; a rate outside the table gives 0x00, 0x00.
TZlgBitTiming ZlgBitTimingFor(int32_t rate);

// Sets the filter kind and the timing pair of an init record for a rate.
void SetBitTiming(int32_t rate, VciInitConfig& config);
