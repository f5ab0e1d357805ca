// The transmit list's line parser: any line either is rejected or gives an
// item whose own text reads back to the same item.
#include <cstddef>
#include <cstdint>
#include <string>

#include "transmit/send_item.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    TCanSendItem item;
    if (!item.FromText(line))
        return 0;
    const std::string text = item.ToText();
    TCanSendItem again;
    if (!again.FromText(text) || again.ToText() != text)
        __builtin_trap();
    return 0;
}
