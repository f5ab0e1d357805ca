#include "fake_backend.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace ulmar::test {

int FakeBackend::traffic() const {
    return static_cast<int>(openedEndpoints.size() + closedPipes.size() + writes.size() +
                            reads.size()) +
           descriptorRequests;
}

std::vector<std::vector<std::uint8_t>> FakeBackend::writtenBlocks(std::int32_t pipe) const {
    std::vector<std::vector<std::uint8_t>> blocks;
    for (const RecordedWrite& write : writes) {
        if (write.pipe != pipe)
            continue;
        for (std::size_t at = 0; at + 64 <= write.bytes.size(); at += 64)
            blocks.emplace_back(write.bytes.begin() + static_cast<long>(at),
                                write.bytes.begin() + static_cast<long>(at + 64));
    }
    return blocks;
}

int FakeBackend::findDevicePath(int adapter, char* path, std::uint32_t size,
                                std::uint32_t* length) {
    if (adapter >= adapters)
        return kPathNoSuchAdapter;
    const std::string text = "fake:" + std::to_string(adapter);
    if (length != nullptr)
        *length = static_cast<std::uint32_t>(text.size());
    if (path != nullptr) {
        if (size <= text.size())
            return kPathBufferTooSmall;
        std::memcpy(path, text.c_str(), text.size() + 1);
    }
    return kPathFound;
}

bool FakeBackend::attach(int device, int) {
    attachedDevices.push_back(device);
    return true;
}

std::int32_t FakeBackend::openPipe(int, std::uint8_t endpoint) {
    openedEndpoints.push_back(endpoint);
    return refusedEndpoints.count(endpoint) != 0 ? kNoPipe : endpoint;
}

bool FakeBackend::closePipe(int, std::int32_t pipe) {
    closedPipes.push_back(pipe);
    return stuckPipes.count(pipe) == 0;
}

int FakeBackend::writePipe(int device, std::int32_t pipe, const std::uint8_t* data,
                           std::uint32_t length, std::uint32_t* written) {
    writes.push_back({device, pipe, std::vector<std::uint8_t>(data, data + length)});
    int result = 1;
    if (!writeResults.empty()) {
        result = writeResults.front();
        writeResults.pop_front();
    }
    if (result == 1)
        *written = length;
    return result;
}

int FakeBackend::readPipe(int device, std::int32_t pipe, std::uint8_t* buffer, std::uint32_t length,
                          std::uint32_t timeoutMs, std::uint32_t* received) {
    reads.push_back({device, pipe, length, timeoutMs});
    auto& script = readScript[pipe];
    if (script.empty())
        return 0;
    const ScriptedRead answer = script.front();
    script.pop_front();
    if (!answer.ok)
        return 0;
    const std::size_t count = std::min<std::size_t>(length, answer.bytes.size());
    std::copy_n(answer.bytes.begin(), count, buffer);
    *received = static_cast<std::uint32_t>(count);
    return 1;
}

int FakeBackend::getDescriptor(int, std::int32_t, std::uint8_t type, std::uint8_t index,
                               std::uint16_t, std::uint8_t* buffer, std::uint32_t size,
                               std::uint32_t* count) {
    ++descriptorRequests;
    const auto found = descriptors.find(type << 8 | index);
    if (found == descriptors.end())
        return 0;
    const std::size_t n = std::min<std::size_t>(size, found->second.size());
    std::memcpy(buffer, found->second.data(), n);
    *count = static_cast<std::uint32_t>(n);
    return 1;
}

std::vector<std::uint8_t> frameBlock(std::uint8_t count,
                                     const std::vector<std::vector<std::uint8_t>>& wireFrames) {
    std::vector<std::uint8_t> block(64, 0);
    block[0] = count;
    for (std::size_t i = 0; i < wireFrames.size() && i < 3; ++i)
        std::copy(wireFrames[i].begin(), wireFrames[i].end(),
                  block.begin() + 1 + 21 * static_cast<long>(i));
    return block;
}

std::vector<std::uint8_t> wireFrame(std::uint32_t id, bool extended, std::uint8_t firstByte) {
    std::vector<std::uint8_t> wire(21, 0);
    for (int i = 0; i < 4; ++i)
        wire[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(id >> (8 * i));
    wire[4] = 0x10; // a time stamp the library must pass through
    wire[8] = 0;    // the library sets stampValid itself
    wire[9] = 7;    // the library clears transmitMode
    wire[11] = extended ? 1 : 0;
    wire[12] = 1;
    wire[13] = firstByte;
    return wire;
}

std::vector<std::uint8_t> fullBlocks(int n, std::uint32_t firstId) {
    std::vector<std::uint8_t> bytes;
    for (int b = 0; b < n; ++b) {
        const std::uint32_t id = firstId + 3u * static_cast<std::uint32_t>(b);
        const auto block = frameBlock(3, {wireFrame(id), wireFrame(id + 1), wireFrame(id + 2)});
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    return bytes;
}

std::vector<std::uint8_t> replyWords(const std::vector<std::uint32_t>& words) {
    std::vector<std::uint8_t> bytes(64, 0);
    for (std::size_t k = 0; k < words.size() && k < 16; ++k) {
        for (int i = 0; i < 4; ++i)
            bytes[4 * k + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(words[k] >> (8 * i));
    }
    return bytes;
}

std::uint32_t wordOf(const std::vector<std::uint8_t>& packet, int k) {
    const std::size_t at = 4 * static_cast<std::size_t>(k);
    return static_cast<std::uint32_t>(packet[at]) |
           static_cast<std::uint32_t>(packet[at + 1]) << 8 |
           static_cast<std::uint32_t>(packet[at + 2]) << 16 |
           static_cast<std::uint32_t>(packet[at + 3]) << 24;
}

} // namespace ulmar::test
