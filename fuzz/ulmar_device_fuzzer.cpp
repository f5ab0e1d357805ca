// Ulmar on whatever a device sends back: frame blocks, reply packets and
// descriptors come from the fuzz input through a stand-in transport, while
// the input's first bytes also pick which exports run and with what sizes.
// Every read is answered with the next chunk of the input (its first byte
// gives the length), so short, long and malformed answers all occur.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/library_state.h"
#include "transport/pipe_backend.h"
#include "transport/transport.h"
#include "ulmar.h"

namespace {

class InputDevice final : public ulmar::PipeBackend {
public:
    explicit InputDevice(int adapters) : adapters_(adapters) {}

    void Reset(const std::uint8_t* data, std::size_t size) {
        data_ = data;
        size_ = size;
    }
    // The next input byte, 0 when used up.
    std::uint8_t Next() { return size_ > 0 ? (--size_, *data_++) : 0; }

    int adapterCount() override { return adapters_; }
    int findDevicePath(int adapter, char* path, std::uint32_t size,
                       std::uint32_t* length) override {
        if (adapter >= adapters_)
            return ulmar::kPathNoSuchAdapter;
        if (length != nullptr)
            *length = 4;
        if (path != nullptr) {
            if (size <= 4)
                return ulmar::kPathBufferTooSmall;
            std::memcpy(path, "fuzz", 5);
        }
        return ulmar::kPathFound;
    }
    bool attach(int, int) override { return true; }
    std::int32_t openPipe(int, std::uint8_t endpoint) override { return endpoint; }
    bool closePipe(int, std::int32_t) override { return true; }
    void detach(int) override {}
    int writePipe(int, std::int32_t, const std::uint8_t*, std::uint32_t length,
                  std::uint32_t* written) override {
        *written = length;
        return Next() % 8 != 0 ? 1 : 0;
    }
    int readPipe(int, std::int32_t, std::uint8_t* buffer, std::uint32_t length, std::uint32_t,
                 std::uint32_t* received) override {
        return Answer(buffer, length, received);
    }
    int getDescriptor(int, std::int32_t, std::uint8_t, std::uint8_t, std::uint16_t,
                      std::uint8_t* buffer, std::uint32_t size, std::uint32_t* count) override {
        return Answer(buffer, size, count);
    }

private:
    // A chunk of the input: one length byte (scaled to whole-block sizes half
    // the time), then up to that many bytes; a length byte of 0 fails.
    int Answer(std::uint8_t* buffer, std::uint32_t room, std::uint32_t* count) {
        const std::uint8_t head = Next();
        if (head == 0)
            return 0;
        std::size_t wanted = (head & 0x80) != 0 ? (head & 0x7F) * 16u : head;
        wanted = std::min<std::size_t>({wanted, room, size_});
        std::memcpy(buffer, data_, wanted);
        data_ += wanted;
        size_ -= wanted;
        *count = static_cast<std::uint32_t>(wanted);
        return 1;
    }

    const int adapters_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

InputDevice gDevice(1);
InputDevice gNoUsb(0);

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ulmar::resetLibraryState();
    gDevice.Reset(data, size);
    ulmar::useBackends(&gNoUsb, &gDevice);
    if (VCI_OpenDevice(4, 0, 0) == 1) {
        VciCanFrame frames[100];
        for (int step = 0; step < 12; ++step) {
            const std::uint32_t channel = gDevice.Next() & 1;
            switch (gDevice.Next() % 8) {
            case 0:
                VCI_Receive(4, 0, channel, frames, 1 + gDevice.Next() % 100, 0);
                break;
            case 1:
                VCI_GetReceiveNum(4, 0, channel);
                break;
            case 2: {
                VciCanStatus status{};
                VCI_ReadCANStatus(4, 0, channel, &status);
                break;
            }
            case 3: {
                VciErrorInfo info{};
                VCI_ReadErrInfo(4, 0, channel, &info);
                break;
            }
            case 4: {
                VciBoardInfo info{};
                VCI_ReadBoardInfo(4, 0, &info);
                break;
            }
            case 5: {
                std::uint8_t buffer[27];
                VCI_GetReference2(4, 0, channel, 0, buffer);
                std::uint32_t value = 0;
                VCI_GetReference(4, 0, channel, gDevice.Next() % 32, &value);
                break;
            }
            case 6: {
                std::uint8_t value[4] = {};
                VCI_GetRepeaterReference(4, 0, channel, 0, value);
                break;
            }
            default: {
                // The library's own filter over received frames.
                const VciFilterEntry entry{gDevice.Next() & 1u, gDevice.Next() * 8u,
                                           gDevice.Next() * 16u};
                VCI_SetReference(21, 0, channel, 1, &entry);
                VCI_SetReference(21, 0, channel, 2, nullptr);
                VCI_Receive(21, 0, channel, frames, 1 + gDevice.Next() % 100, 0);
                break;
            }
            }
        }
        VCI_CloseDevice(4, 0);
    }
    VciDeviceList list{};
    VCI_FindUsbDevice(&list);
    ulmar::useBackends(nullptr, nullptr);
    return 0;
}
