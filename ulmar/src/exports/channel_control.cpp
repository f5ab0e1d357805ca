// Configuring, starting, stopping and clearing a CAN channel.
#include "core/argument_check.h"
#include "protocol/acceptance_filter.h"
#include "protocol/command_channel.h"
#include "protocol/rate_table.h"

using namespace ulmar;

namespace {

struct TimingPair {
    std::uint8_t btr0;
    std::uint8_t btr1;
};

// A pair with a prescaler the adapter cannot use (above 32) is replaced by
// the table row nearest to the rate it describes; false if that rate lies
// outside 10 to 1000 kbit/s.
bool adapterTiming(std::uint8_t btr0, std::uint8_t btr1, TimingPair& timing) {
    const int prescaler = (btr0 & 0x3F) + 1;
    if (prescaler <= 32) {
        timing = {btr0, btr1};
        return true;
    }
    const int bitTime = (btr1 & 0x0F) + ((btr1 >> 4) & 7) + 3;
    const double rate = 8000.0 / prescaler / bitTime;
    if (rate > 1000.0 || rate < 10.0)
        return false;
    const RateRow& row = rateTable()[nearestRateRow(rate)];
    timing = {row.btr0, row.btr1};
    return true;
}

std::int32_t sendChannelCommand(uint32_t deviceIndex, uint32_t channel, Opcode opcode) {
    return sendCommand(deviceOf(deviceIndex), commandOutSlot(channel), CommandPacket(opcode));
}

} // namespace

int32_t VCI_API VCI_InitCAN(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel,
                            const VciInitConfig* config) {
    if (!checkChannel(deviceType, deviceIndex, channel) || config == nullptr || config->busMode > 3)
        return 0;
    TimingPair timing{};
    CommandPacket packet(Opcode::InitChannel);
    if (isReferenceType(deviceType)) {
        const ChannelState& state = channelState(channel);
        if (state.rateSet != 1)
            return 0;
        const RateRow& row = rateTable()[state.rateIndex];
        timing = {row.btr0, row.btr1};
        packet.words[1] = 0;
        packet.words[2] = 0xFFFFFFFF;
        packet.words[4] = 1;
    } else {
        if (!adapterTiming(config->btr0, config->btr1, timing))
            return 0;
        packet.words[1] = config->acceptCode;
        packet.words[2] = config->acceptMask;
        packet.words[4] = config->filterKind;
    }
    packet.words[6] = timing.btr0;
    packet.words[7] = timing.btr1;
    packet.words[8] = config->busMode;
    packet.words[9] = 1;
    return sendCommand(deviceOf(deviceIndex), commandOutSlot(channel), packet);
}

int32_t VCI_API VCI_StartCAN(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel) {
    if (!checkChannel(deviceType, deviceIndex, channel))
        return 0;
    return sendChannelCommand(deviceIndex, channel, Opcode::StartChannel);
}

int32_t VCI_API VCI_ResetCAN(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel) {
    if (!checkChannel(deviceType, deviceIndex, channel))
        return 0;
    clearFilter(channelState(channel));
    return sendChannelCommand(deviceIndex, channel, Opcode::ResetChannel);
}

// Clears the adapter's buffer only; frames in the library's pending ring stay.
int32_t VCI_API VCI_ClearBuffer(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel) {
    if (!checkChannel(deviceType, deviceIndex, channel))
        return 0;
    return sendChannelCommand(deviceIndex, channel, Opcode::ClearBuffer);
}
