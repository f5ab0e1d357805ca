#include "adapter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "frame_block.h"

namespace emu {
namespace {

// Full-speed USB divides time into 1 ms frames. The adapter ends a frame
// transfer that its buffer does not fill with a short packet at the start of
// a USB frame, so a read carries whatever arrived since the previous one.
constexpr auto kUsbFrame = std::chrono::milliseconds(1);

using Clock = std::chrono::steady_clock;

Clock::time_point nextUsbFrame(Clock::time_point now) {
    return Clock::time_point(std::chrono::floor<std::chrono::milliseconds>(now.time_since_epoch()) +
                             kUsbFrame);
}

std::string hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", v);
    return text;
}

// Controller mode as reported in word 2 of the status reply: bits 8-15 the
// mode number (0 normal, 1 self-test, 2 listen-only, 3 both), bit 16 set for
// single acceptance filter (filter kind 1), low byte an SJA1000-style mode
// register (bit 0 reset, 1 listen-only, 2 self-test, 3 single filter).
std::uint32_t modeWord(const ChannelStatus& s) {
    std::uint32_t number = 0;
    switch (s.config.mode) {
    case BusMode::Normal:
        number = 0;
        break;
    case BusMode::SelfTest:
        number = 1;
        break;
    case BusMode::ListenOnly:
        number = 2;
        break;
    case BusMode::ListenSelfTest:
        number = 3;
        break;
    }
    const std::uint32_t singleFilter = s.config.filterKind == 1 ? 1 : 0;
    std::uint32_t reg = s.started ? 0 : 0x01;
    if (s.config.mode == BusMode::ListenOnly || s.config.mode == BusMode::ListenSelfTest)
        reg |= 0x02;
    if (s.config.mode == BusMode::SelfTest || s.config.mode == BusMode::ListenSelfTest)
        reg |= 0x04;
    reg |= singleFilter << 3;
    return (number << 8) | (singleFilter << 16) | reg;
}

// An error counter at or above this sets the error status bit.
constexpr std::uint8_t kErrorWarningLimit = 96;

// SJA1000-style status register: 0 receive buffer full, 1 data overrun,
// 2 transmit buffer free, 3 transmission complete, 5 transmitting, 6 error
// warning, 7 bus-off.
std::uint32_t statusRegister(const ChannelStatus& s) {
    std::uint32_t reg = 0;
    if (s.faults.receiveErrors >= kErrorWarningLimit ||
        s.faults.reportedTransmitErrors() >= kErrorWarningLimit)
        reg |= 0x40;
    if (s.faults.busOff)
        reg |= 0x80;
    if (s.receiveWaiting > 0)
        reg |= 0x01;
    if (s.overrunFlag)
        reg |= 0x02;
    if (s.transmitWaiting < Channel::kTransmitCapacity)
        reg |= 0x04;
    if (s.transmitWaiting == 0)
        reg |= 0x08;
    else
        reg |= 0x20;
    return reg;
}

} // namespace

bool isOutEndpoint(std::uint8_t endpoint) {
    return endpoint >= 0x01 && endpoint <= 0x06;
}
bool isInEndpoint(std::uint8_t endpoint) {
    return endpoint >= 0x81 && endpoint <= 0x86;
}

Adapter::Adapter(const AdapterSettings& settings, VerboseLog& log)
    : auxValue_(settings.auxValue), log_(log), identity_(settings.identity) {
    for (int i = 0; i < 2; ++i)
        channels_[static_cast<std::size_t>(i)] = std::make_unique<Channel>(
            i, settings.receiveCapacity, settings.controllerFaults[static_cast<std::size_t>(i)]);
}

WriteResult Adapter::write(std::uint8_t endpoint, std::span<const std::uint8_t> bytes,
                           Clock::time_point deadline) {
    switch (endpoint) {
    case 0x01:
    case 0x03:
        return writeFrames(channel(endpoint == 0x01 ? 0 : 1), bytes, deadline);
    case 0x02:
    case 0x04:
    case 0x05:
    case 0x06: {
        const int index = (endpoint == 0x02 || endpoint == 0x05) ? 0 : 1;
        PipeQueue& replies = endpoint <= 0x04 ? replyQueues_[index] : auxQueues_[index];
        for (const auto& packet : splitCommands(bytes))
            handleCommand(index, packet, replies);
        return {true, static_cast<std::uint32_t>(bytes.size())};
    }
    default:
        return {false, 0};
    }
}

ReadResult Adapter::read(std::uint8_t endpoint, std::uint32_t maxLength,
                         Clock::time_point deadline) {
    if (maxLength == 0)
        return {true, {}};
    if (endpoint == 0x81 || endpoint == 0x83)
        return readFrames(channel(endpoint == 0x81 ? 0 : 1), maxLength, deadline);
    PipeQueue* queue = replyQueueOf(endpoint);
    if (queue == nullptr)
        return {};
    std::optional<std::vector<std::uint8_t>> packet = queue->pop(deadline);
    if (!packet)
        return {};
    // A reply is one packet; a shorter read gets its beginning only.
    packet->resize(std::min<std::size_t>(packet->size(), maxLength));
    return {true, std::move(*packet)};
}

std::optional<std::vector<std::uint8_t>> Adapter::descriptor(std::uint8_t type, std::uint8_t index,
                                                             std::uint16_t,
                                                             std::uint32_t maxLength) const {
    return lookupDescriptor(identity(), type, index, maxLength);
}

AdapterIdentity Adapter::identity() const {
    std::lock_guard lock(mutex_);
    return identity_;
}

void Adapter::pipeOpened(std::uint8_t endpoint) {
    if (PipeQueue* queue = replyQueueOf(endpoint))
        queue->clear();
}

PipeQueue* Adapter::replyQueueOf(std::uint8_t endpoint) {
    switch (endpoint) {
    case 0x82:
        return &replyQueues_[0];
    case 0x84:
        return &replyQueues_[1];
    case 0x85:
        return &auxQueues_[0];
    case 0x86:
        return &auxQueues_[1];
    default:
        return nullptr;
    }
}

void Adapter::clearReplies(int index) {
    replyQueues_[static_cast<std::size_t>(index)].clear();
    auxQueues_[static_cast<std::size_t>(index)].clear();
}

void Adapter::setFramesInFlight(int channelIndex, std::size_t count) {
    inFlight_[static_cast<std::size_t>(channelIndex)] = count;
}

void Adapter::onReceiveCleared(std::function<void(int)> callback) {
    receiveCleared_ = std::move(callback);
}

std::size_t Adapter::framesWaiting(int channelIndex) const {
    return channels_[static_cast<std::size_t>(channelIndex)]->status().receiveWaiting +
           inFlight_[static_cast<std::size_t>(channelIndex)];
}

void Adapter::clearReceived(int channelIndex) {
    channel(channelIndex).clearReceiveBuffer();
    if (receiveCleared_)
        receiveCleared_(channelIndex);
}

void Adapter::shutdown() {
    for (auto& c : channels_)
        c->shutdown();
    for (auto& q : replyQueues_)
        q.shutdown();
    for (auto& q : auxQueues_)
        q.shutdown();
}

WriteResult Adapter::writeFrames(Channel& channel, std::span<const std::uint8_t> bytes,
                                 Clock::time_point deadline) {
    const auto frames = decodeBlocks(bytes);
    const std::size_t accepted = channel.queueTransmit(frames, deadline);
    if (accepted == frames.size())
        return {true, static_cast<std::uint32_t>(bytes.size())};
    // Timed out: report the whole blocks whose frames all went in.
    std::uint32_t taken = 0;
    std::size_t counted = 0;
    for (std::size_t at = 0; at + kBlockSize <= bytes.size(); at += kBlockSize) {
        counted += std::min<std::size_t>(bytes[at], kFramesPerBlock);
        if (counted > accepted)
            break;
        taken += kBlockSize;
    }
    return {false, taken};
}

ReadResult Adapter::readFrames(Channel& channel, std::uint32_t maxLength,
                               Clock::time_point deadline) {
    const std::size_t blocks = maxLength / kBlockSize;
    const std::size_t room =
        blocks > 0 ? blocks * kFramesPerBlock
                   : std::min<std::size_t>((maxLength - 1) / kWireFrameSize, kFramesPerBlock);
    if (room == 0)
        return {};
    std::vector<CanFrame> frames;
    while (frames.empty()) {
        if (!channel.waitForReceived(1, deadline))
            return {};
        // A full transfer ends at once; a short one at the next USB frame.
        channel.waitForReceived(room, std::min(nextUsbFrame(Clock::now()), deadline));
        frames = channel.takeReceived(room);
    }
    // Whole requested blocks: the frames first, then empty blocks, so the host
    // sees at once that nothing more waits.
    auto bytes = encodeBlocks(frames, std::max<std::size_t>(blocks, 1));
    bytes.resize(std::min<std::size_t>(bytes.size(), maxLength));
    return {true, std::move(bytes)};
}

void Adapter::handleCommand(int index, const CommandPacket& packet, PipeQueue& replies) {
    Channel& ch = channel(index);
    const std::string who = "channel " + std::to_string(index) + ": ";
    std::array<std::uint32_t, kPacketWords> reply{};
    reply[0] = packet.opcode();
    switch (static_cast<Opcode>(packet.opcode())) {
    case Opcode::AuxQuery:
        reply[1] = auxValue_;
        replies.push(encodeReply(reply));
        return;
    case Opcode::InitChannel:
        initialise(index, packet);
        return;
    case Opcode::StartChannel:
        ch.start();
        log_.print(who + "started");
        return;
    case Opcode::ResetChannel:
        ch.reset();
        clearReplies(index);
        log_.print(who + "reset");
        return;
    case Opcode::SetReference: {
        std::lock_guard lock(mutex_);
        if (packet[1] == 15)
            registers_[static_cast<std::size_t>(index)].references = packet.words;
        log_.print(who + "set reference kind " + std::to_string(packet[1]));
        return;
    }
    case Opcode::ClearBuffer:
        clearReceived(index);
        log_.print(who + "receive buffer cleared");
        return;
    case Opcode::WriteDeviceCode:
        writeDeviceCode(packet);
        return;
    case Opcode::ResetDevice:
        for (int c = 0; c < 2; ++c) {
            channel(c).reset();
            clearReceived(c);
            clearReplies(c);
        }
        log_.print("device reset");
        return;
    case Opcode::ReadReferences: {
        std::lock_guard lock(mutex_);
        const auto& stored = registers_[static_cast<std::size_t>(index)].references;
        // Reply words 1-14 give back words 2-15 of the last kind 15 setting.
        std::copy(stored.begin() + 2, stored.end(), reply.begin() + 1);
        break;
    }
    case Opcode::ReceiveCount:
        reply[1] = static_cast<std::uint32_t>(framesWaiting(index));
        break;
    case Opcode::ControllerStatus:
        reply = statusReply(index);
        break;
    case Opcode::ReadRepeater: {
        std::lock_guard lock(mutex_);
        reply[1] = registers_[static_cast<std::size_t>(index)].repeater;
        break;
    }
    case Opcode::WriteRepeater: {
        std::lock_guard lock(mutex_);
        if (packet[1] == 0)
            registers_[static_cast<std::size_t>(index)].repeater = packet[2] & 0xFF;
        log_.print(who + "repeater kind " + std::to_string(packet[1]) + " value " +
                   std::to_string(packet[2]));
        return;
    }
    case Opcode::SetValue: {
        std::lock_guard lock(mutex_);
        registers_[static_cast<std::size_t>(index)].value = packet[1];
        log_.print(who + "value " + std::to_string(packet[1]));
        return;
    }
    default:
        log_.print(who + "ignored unknown opcode " + std::to_string(packet.opcode()));
        return;
    }
    replies.push(encodeReply(reply));
}

std::array<std::uint32_t, kPacketWords> Adapter::statusReply(int index) const {
    const ChannelStatus s = channels_[static_cast<std::size_t>(index)]->status();
    std::array<std::uint32_t, kPacketWords> w{};
    w[0] = static_cast<std::uint32_t>(Opcode::ControllerStatus);
    w[1] = statusRegister(s);
    w[2] = modeWord(s);
    w[3] = s.faults.receiveErrors;
    w[4] = s.faults.reportedTransmitErrors();
    // A host that keeps the low bytes of words 5 and 9 gets a 16-bit count
    // that wraps; polled often enough, its differences are exact.
    w[5] = static_cast<std::uint32_t>(s.overruns);
    w[6] = static_cast<std::uint32_t>(std::min<std::size_t>(framesWaiting(index), 0xFFFFFFFF));
    w[7] = s.config.btr0;
    w[8] = s.config.btr1;
    w[9] = static_cast<std::uint32_t>((s.overruns >> 8) & 0xFF);
    return w;
}

void Adapter::initialise(int index, const CommandPacket& packet) {
    ChannelConfig config;
    config.acceptCode = packet[1];
    config.acceptMask = packet[2];
    config.filterKind = packet[4];
    config.btr0 = static_cast<std::uint8_t>(packet[6]);
    config.btr1 = static_cast<std::uint8_t>(packet[7]);
    config.mode = static_cast<BusMode>(packet[8] & 3);
    channel(index).initialise(config);
    if (log_.enabled()) {
        const BitTiming timing = decodeBitTiming(config.btr0, config.btr1);
        char text[160];
        std::snprintf(text, sizeof text,
                      "channel %d: init btr0 %s btr1 %s = %.3f kbit/s, mode %u, code %s mask %s",
                      index, hex(config.btr0).c_str(), hex(config.btr1).c_str(),
                      timing.bitRate() / 1000.0, packet[8], hex(config.acceptCode).c_str(),
                      hex(config.acceptMask).c_str());
        log_.print(text);
    }
}

void Adapter::writeDeviceCode(const CommandPacket& packet) {
    std::string code;
    for (int i = 1; i <= 4; ++i)
        code.push_back(static_cast<char>(packet[static_cast<std::size_t>(i)] & 0xFF));
    {
        std::lock_guard lock(mutex_);
        // The code replaces the first four characters of the product string.
        const std::string product = identity_.productString();
        identity_.deviceCode = code;
        identity_.productText = product.size() > 4 ? product.substr(4) : std::string();
    }
    log_.print("device code set to '" + code + "'");
}

} // namespace emu
