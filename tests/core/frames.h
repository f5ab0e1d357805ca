#pragma once

#include <cstdint>
#include <initializer_list>

#include "model/can_frame.h"

namespace coretest {

inline TCanFrame MakeFrame(std::uint32_t id, bool isStandard, bool isRemote, std::uint32_t len,
                           std::initializer_list<std::uint8_t> data = {},
                           std::uint32_t timeStamp = 0) {
    TCanFrame frame;
    frame.Id = id;
    frame.IsStandard = isStandard;
    frame.IsRemote = isRemote;
    frame.Len = len;
    std::size_t i = 0;
    for (const std::uint8_t byte : data)
        frame.Data[i++] = byte;
    frame.TimeStamp = timeStamp;
    return frame;
}

} // namespace coretest
