// The emulator's candump log reader on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "candump.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string error;
    if (const auto records = emu::parseCandumpLog(in, error)) {
        for (const auto& record : *records)
            if (record.frame.length > 8)
                __builtin_trap(); // a classic CAN frame never carries more
    }
    return 0;
}
