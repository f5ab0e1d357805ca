#pragma once

#include <filesystem>
#include <string>

#include "platform/executable_dir.h"

// The channels keep their transmit lists beside the executable. Every test
// binary runs from a folder of its own, and tests start from no lists.
inline std::string TransmitListPath(int channel) {
    return platform::ExecutableDir() + "trans_list_zlg_ch" + std::to_string(channel) + ".dat";
}

inline void RemoveTransmitLists() {
    std::error_code error;
    for (int channel = 0; channel < 2; ++channel) {
        std::filesystem::remove_all(TransmitListPath(channel), error);
    }
}
