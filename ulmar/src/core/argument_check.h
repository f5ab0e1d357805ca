// The argument check every export but VCI_FindUsbDevice runs first.
#pragma once

#include "core/library_state.h"

#include <cstdint>

namespace ulmar {

inline bool isDeviceType(std::uint32_t type) {
    return type == 3 || type == 4 || type == 20 || type == 21;
}

// Types 20 and 21 take their bit rate from VCI_SetReference kind 0 and may
// fill the library's acceptance filter.
inline bool isReferenceType(std::uint32_t type) {
    return type == 20 || type == 21;
}

// Only indices with a device table entry are accepted: 0 to 9.
inline bool checkDevice(std::uint32_t type, std::uint32_t index) {
    return isDeviceType(type) && index < static_cast<std::uint32_t>(kDeviceCount);
}

inline bool checkChannel(std::uint32_t type, std::uint32_t index, std::uint32_t channel) {
    return checkDevice(type, index) && channel < static_cast<std::uint32_t>(kChannelCount);
}

inline int deviceOf(std::uint32_t index) {
    return static_cast<int>(index);
}

} // namespace ulmar
