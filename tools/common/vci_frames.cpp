#include "vci_frames.h"

#include <algorithm>

namespace ulmar_tools {

canlog::LogFrame toLogFrame(const VciCanFrame& record) {
    canlog::LogFrame frame;
    frame.id = record.canId;
    frame.extended = record.isExtended == 1;
    frame.remote = record.isRemote == 1;
    frame.length = std::min<std::uint8_t>(record.length, 8);
    if (!frame.remote)
        std::copy(record.payload, record.payload + frame.length, frame.data.begin());
    return frame;
}

VciCanFrame toVciFrame(const canlog::LogFrame& frame) {
    VciCanFrame record{};
    record.canId = frame.id;
    record.isExtended = frame.extended ? 1 : 0;
    record.isRemote = frame.remote ? 1 : 0;
    record.length = frame.length;
    std::copy(frame.data.begin(), frame.data.end(), record.payload);
    return record;
}

} // namespace ulmar_tools
