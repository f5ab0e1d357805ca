// Opening and closing a device, with the one process-wide open counter.
#include "core/argument_check.h"
#include "protocol/acceptance_filter.h"
#include "transport/transport.h"

using namespace ulmar;

int32_t VCI_API VCI_OpenDevice(uint32_t deviceType, uint32_t deviceIndex, uint32_t) {
    if (!checkDevice(deviceType, deviceIndex))
        return 0;
    // Type 21 may be opened a second time by another part of the host;
    // it shares the pipes already open.
    if (deviceType == 21 && openCount() >= 1) {
        openCount() = 2;
        return 1;
    }
    if (OpenDevicePipes(deviceOf(deviceIndex)) != 1)
        return 0;
    openCount() = 1;
    return 1;
}

int32_t VCI_API VCI_CloseDevice(uint32_t deviceType, uint32_t deviceIndex) {
    if (!checkDevice(deviceType, deviceIndex))
        return 0;
    if (--openCount() != 0)
        return 1;
    CloseDevicePipes(deviceOf(deviceIndex));
    openCount() = 0;
    for (std::uint32_t channel = 0; channel < kChannelCount; ++channel)
        clearFilter(channelState(channel));
    return 1;
}
