#include "gadgetfs_server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/usb/gadgetfs.h>
#include <pthread.h>
#include <unistd.h>

#include "byte_order.h"
#include "descriptors.h"
#include "frame_block.h"
#include "ordered_reads.h"

namespace emu {
namespace {

// Full speed, like the adapter: every block and command is one USB packet.
constexpr std::uint16_t kMaxPacket = 64;
// The most the host asks for in one frame read: 16 blocks.
constexpr std::uint32_t kLongestFrameRead = 16 * kBlockSize;
// How long an endpoint thread waits on the adapter before it looks at the
// stop flags again; also how long a failed out-endpoint rests.
constexpr auto kPollTime = std::chrono::milliseconds(200);
// How often a frame packet the transmit buffer had no room for is tried
// again; the bus frees room for a packet's frames within a few milliseconds.
constexpr auto kHeldPacketRetry = std::chrono::milliseconds(2);
// The longest a descriptor request waits for the out-endpoint thread.
constexpr auto kCatchUpLimit = std::chrono::milliseconds(500);
// What interrupts a thread blocked in a transfer when it has to end.
constexpr int kWakeSignal = SIGUSR1;
constexpr std::uint8_t kConfigurationValue = 1;

std::string endpointName(std::uint8_t endpoint) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", endpoint);
    return text;
}

void onWakeSignal(int) {}

std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.')
                names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Frame reads of the adapter model come padded with empty blocks up to the
// length asked for; over USB the transfer ends after the last block with
// frames instead, so the host is not sent blocks it did not ask for.
void dropTrailingEmptyBlocks(std::vector<std::uint8_t>& bytes) {
    while (bytes.size() > kBlockSize && bytes[bytes.size() - kBlockSize] == 0)
        bytes.resize(bytes.size() - kBlockSize);
}

// The channel whose frames frame pipe 0x01/0x81 or 0x03/0x83 carries.
int frameChannel(std::uint8_t endpoint) {
    return (endpoint & 0x7F) == 1 ? 0 : 1;
}

// Frames in whole blocks of a frame transfer, as their count bytes say.
std::size_t framesIn(std::span<const std::uint8_t> bytes) {
    std::size_t frames = 0;
    for (std::size_t at = 0; at + kBlockSize <= bytes.size(); at += kBlockSize)
        frames += std::min<std::size_t>(bytes[at], kFramesPerBlock);
    return frames;
}

void appendU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

} // namespace

std::vector<std::uint8_t> deviceEndpoints(const FaultPlan& faults) {
    std::vector<std::uint8_t> endpoints;
    for (std::uint8_t n = 1; n <= 6; ++n) {
        for (std::uint8_t endpoint : {n, static_cast<std::uint8_t>(0x80 | n)}) {
            if (faults.refusedPipes.count(endpoint) == 0)
                endpoints.push_back(endpoint);
        }
    }
    return endpoints;
}

std::vector<std::uint8_t> configurationDescriptor(const std::vector<std::uint8_t>& endpoints) {
    const auto total = static_cast<std::uint16_t>(USB_DT_CONFIG_SIZE + USB_DT_INTERFACE_SIZE +
                                                  USB_DT_ENDPOINT_SIZE * endpoints.size());
    std::vector<std::uint8_t> d{USB_DT_CONFIG_SIZE, USB_DT_CONFIG};
    appendU16(d, total);
    d.insert(d.end(), {1, kConfigurationValue, 0, USB_CONFIG_ATT_ONE, 50}); // 100 mA
    d.insert(d.end(),
             {USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, 0, 0,
              static_cast<std::uint8_t>(endpoints.size()), USB_CLASS_VENDOR_SPEC, 0, 0, 0});
    for (std::uint8_t endpoint : endpoints) {
        d.insert(d.end(),
                 {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, endpoint, USB_ENDPOINT_XFER_BULK});
        appendU16(d, kMaxPacket);
        d.push_back(0);
    }
    return d;
}

std::string endpointFile(std::uint8_t endpoint, const std::vector<std::string>& files,
                         const std::vector<std::string>& taken) {
    const bool in = (endpoint & USB_DIR_IN) != 0;
    const std::string direction = in ? "in" : "out";
    const std::string numbered = "ep" + std::to_string(endpoint & 0x0F) + direction;
    const auto free = [&](const std::string& name) {
        return std::find(taken.begin(), taken.end(), name) == taken.end();
    };
    for (const std::string& name : files) {
        if ((name == numbered || name == numbered + "-bulk") && free(name))
            return name;
    }
    // "ep-a" style endpoints take any number: "ep-bin", "ep-aout".
    for (const std::string& name : files) {
        const std::size_t dash = name.find('-', 3);
        const std::string base = name.substr(0, dash);
        if (name.rfind("ep-", 0) == 0 && base.size() >= direction.size() + 4 &&
            base.compare(base.size() - direction.size(), direction.size(), direction) == 0 &&
            free(name))
            return name;
    }
    return {};
}

GadgetFsServer::GadgetFsServer(Adapter& adapter, FaultPlan faults, std::string directory,
                               VerboseLog& log)
    : adapter_(adapter), faults_(std::move(faults)), directory_(std::move(directory)), log_(log) {
    adapter_.onReceiveCleared([this](int channel) { dropFramesInFlight(channel); });
}

GadgetFsServer::~GadgetFsServer() {
    stop();
    if (control_ >= 0)
        ::close(control_);
}

bool GadgetFsServer::open(std::string& error) {
    // Before it is configured, gadgetfs holds one file: the controller's.
    const auto files = filesIn(directory_);
    if (files.size() != 1) {
        error = "no device controller file in " + directory_ + " (is gadgetfs mounted there?)";
        return false;
    }
    const std::string controller = directory_ + "/" + files[0];
    control_ = ::open(controller.c_str(), O_RDWR | O_CLOEXEC);
    if (control_ < 0) {
        error = "cannot open " + controller + ": " + std::strerror(errno);
        return false;
    }
    const auto addresses = deviceEndpoints(faults_.plan());
    std::vector<std::uint8_t> blob(4, 0); // format tag 0
    const auto config = configurationDescriptor(addresses);
    const auto device = deviceDescriptor(adapter_.identity());
    blob.insert(blob.end(), config.begin(), config.end());
    blob.insert(blob.end(), device.begin(), device.end());
    if (::write(control_, blob.data(), blob.size()) < 0) {
        error = "gadgetfs refused the descriptors on " + controller + ": " + std::strerror(errno);
        return false;
    }
    // Now the controller's endpoints have files too.
    const auto endpointFiles = filesIn(directory_);
    std::vector<std::string> taken{files[0]};
    for (std::uint8_t address : addresses) {
        const std::string name = endpointFile(address, endpointFiles, taken);
        if (name.empty()) {
            error = "the device controller has no free endpoint for " + endpointName(address);
            return false;
        }
        taken.push_back(name);
        endpoints_.push_back({address, directory_ + "/" + name, -1, {}});
        log_.print("pipe " + endpointName(address) + " on " + name);
    }
    log_.print("connected to the USB host through " + controller);
    return true;
}

void GadgetFsServer::start() {
    struct sigaction action {};
    action.sa_handler = onWakeSignal; // no SA_RESTART: blocked transfers end with EINTR
    sigemptyset(&action.sa_mask);
    ::sigaction(kWakeSignal, &action, nullptr);
    controlRunning_ = true;
    controlThread_ = std::thread([this] {
        serveControl();
        deconfigure();
        controlRunning_ = false;
    });
}

void GadgetFsServer::stop() {
    if (!controlThread_.joinable())
        return;
    stopping_ = true;
    adapter_.shutdown();
    // Disconnect first: the controller then ends the packet reads still
    // queued, which the out-endpoint thread cannot cancel itself. The
    // controller's file is released, and the device unbound, once the control
    // thread leaves its last call on it.
    const int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ::dup2(nothing, control_);
    ::close(nothing);
    while (controlRunning_) {
        ::pthread_kill(controlThread_.native_handle(), kWakeSignal);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    controlThread_.join();
}

void GadgetFsServer::serveControl() {
    usb_gadgetfs_event events[5];
    while (!stopping_) {
        const ssize_t got = ::read(control_, events, sizeof events);
        if (got < 0) {
            if (errno != EINTR)
                std::this_thread::sleep_for(kPollTime);
            continue;
        }
        for (ssize_t i = 0; i < got / static_cast<ssize_t>(sizeof events[0]); ++i) {
            switch (events[i].type) {
            case GADGETFS_CONNECT:
                log_.print("USB host connected");
                break;
            case GADGETFS_DISCONNECT:
                // The endpoints stay as they are for the host's return:
                // the controller has ended their transfers.
                log_.print("USB host disconnected");
                break;
            case GADGETFS_SETUP:
                handleSetup(events[i].u.setup);
                break;
            default:
                break;
            }
        }
    }
}

void GadgetFsServer::handleSetup(const usb_ctrlrequest& setup) {
    const bool in = (setup.bRequestType & USB_DIR_IN) != 0;
    const std::uint16_t value = setup.wValue;
    if (setup.bRequest == USB_REQ_GET_DESCRIPTOR && in) {
        awaitOutPackets();
        const auto descriptor =
            adapter_.descriptor(static_cast<std::uint8_t>(value >> 8),
                                static_cast<std::uint8_t>(value), setup.wIndex, setup.wLength);
        if (descriptor && ::write(control_, descriptor->data(), descriptor->size()) >= 0)
            return;
    } else if (setup.bRequest == USB_REQ_SET_CONFIGURATION && !in) {
        // Configured once, the endpoints serve until the emulator stops.
        if (value == kConfigurationValue && !configured_)
            configure();
        (void)!::read(control_, nullptr, 0); // status stage
        return;
    } else if (setup.bRequest == USB_REQ_SET_INTERFACE && !in && value == 0) {
        (void)!::read(control_, nullptr, 0);
        return;
    }
    // Anything else stalls: data moved the wrong way.
    if (in)
        (void)!::read(control_, nullptr, 0);
    else
        (void)!::write(control_, nullptr, 0);
}

void GadgetFsServer::configure() {
    std::vector<OutPipe> outPipes;
    for (Endpoint& e : endpoints_) {
        e.fd = ::open(e.path.c_str(), O_RDWR | O_CLOEXEC);
        std::vector<std::uint8_t> config{
            1, 0, 0, 0, USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, e.address, USB_ENDPOINT_XFER_BULK};
        appendU16(config, kMaxPacket);
        config.push_back(0);
        if (e.fd < 0 || ::write(e.fd, config.data(), config.size()) < 0) {
            log_.print("pipe " + endpointName(e.address) + ": cannot enable " + e.path + ": " +
                       std::strerror(errno));
            continue;
        }
        if (isOutEndpoint(e.address)) {
            outPipes.push_back({e.address, e.fd});
            continue;
        }
        ++endpointsRunning_;
        const std::uint8_t address = e.address;
        const int fd = e.fd;
        e.thread = std::thread([this, address, fd] {
            serveIn(address, fd);
            --endpointsRunning_;
        });
    }
    if (!outPipes.empty()) {
        ++endpointsRunning_;
        outThread_ = std::thread([this, outPipes] {
            serveOut(outPipes);
            --endpointsRunning_;
        });
    }
    configured_ = true;
    log_.print("USB host configured the adapter");
}

void GadgetFsServer::deconfigure() {
    endpointsEnding_ = true;
    // A thread may be about to block when the signal comes, so it is
    // repeated until every one has ended; one that ended but is not joined
    // yet may still be signalled.
    while (endpointsRunning_ > 0) {
        for (Endpoint& e : endpoints_) {
            if (e.thread.joinable())
                ::pthread_kill(e.thread.native_handle(), kWakeSignal);
        }
        if (outThread_.joinable())
            ::pthread_kill(outThread_.native_handle(), kWakeSignal);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (outThread_.joinable())
        outThread_.join();
    for (Endpoint& e : endpoints_) {
        if (e.thread.joinable())
            e.thread.join();
        if (e.fd >= 0)
            ::close(e.fd);
        e.fd = -1;
    }
    endpointsEnding_ = false;
    configured_ = false;
}

void GadgetFsServer::serveOut(const std::vector<OutPipe>& pipes) {
    using Clock = std::chrono::steady_clock;
    std::vector<int> files;
    for (const OutPipe& pipe : pipes)
        files.push_back(pipe.fd);
    // One packet per read: the host sends no closing short packet after a
    // transfer of whole blocks, so a longer read would wait for the next one.
    OrderedReads reads(files, kMaxPacket);
    if (!reads.valid()) {
        log_.print(std::string("out-pipes: no asynchronous I/O: ") + std::strerror(errno));
        return;
    }
    // Per pipe: a frame packet waiting for transmit room, during which the
    // pipe takes no more packets (the host's next ones wait, as for a busy
    // adapter); and when a pipe whose read failed is tried again.
    std::vector<std::optional<std::vector<std::uint8_t>>> held(pipes.size());
    std::vector<Clock::time_point> restAfterFailure(pipes.size());
    while (!ending()) {
        std::chrono::milliseconds wait = kPollTime;
        for (std::size_t i = 0; i < pipes.size(); ++i) {
            if (held[i] && takeOutPacket(pipes[i].address, *held[i]))
                held[i].reset();
            if (held[i]) {
                wait = std::min(wait, kHeldPacketRetry);
                continue;
            }
            if (!reads.armed(i) && Clock::now() >= restAfterFailure[i] && !reads.arm(i))
                restAfterFailure[i] = Clock::now() + kPollTime;
        }
        std::uint64_t catchUp = 0;
        {
            std::lock_guard lock(catchUpMutex_);
            if (catchUpsAsked_ > catchUpsDone_)
                catchUp = catchUpsAsked_;
        }
        if (catchUp != 0)
            wait = std::chrono::milliseconds(0); // only what has arrived
        for (const OrderedReads::Packet& packet : reads.wait(wait)) {
            const std::uint8_t endpoint = pipes[packet.file].address;
            if (packet.result < 0) {
                log_.print("pipe " + endpointName(endpoint) + ": " +
                           std::strerror(static_cast<int>(-packet.result)));
                restAfterFailure[packet.file] = Clock::now() + kPollTime;
            } else if (!takeOutPacket(endpoint, packet.bytes)) {
                held[packet.file].emplace(packet.bytes.begin(), packet.bytes.end());
            }
        }
        if (catchUp != 0) {
            std::lock_guard lock(catchUpMutex_);
            catchUpsDone_ = catchUp;
            caughtUp_.notify_all();
        }
    }
    // Nobody waits for a thread that has ended.
    std::lock_guard lock(catchUpMutex_);
    catchUpsDone_ = catchUpsAsked_;
    caughtUp_.notify_all();
}

void GadgetFsServer::awaitOutPackets() {
    if (!outThread_.joinable())
        return;
    std::unique_lock lock(catchUpMutex_);
    const std::uint64_t ticket = ++catchUpsAsked_;
    // The signal cuts the thread's wait for packets short; if it comes just
    // before that wait, the wait's own time-out ends it.
    ::pthread_kill(outThread_.native_handle(), kWakeSignal);
    caughtUp_.wait_for(lock, kCatchUpLimit, [&] { return catchUpsDone_ >= ticket; });
}

bool GadgetFsServer::takeOutPacket(std::uint8_t endpoint, std::span<const std::uint8_t> packet) {
    // This thread alone queues frames and the bus only takes them away, so
    // room seen here is still there for the write.
    if (isFramePipe(endpoint) &&
        adapter_.channel(frameChannel(endpoint)).status().transmitWaiting + framesIn(packet) >
            Channel::kTransmitCapacity)
        return false;
    adapter_.write(endpoint, packet, std::chrono::steady_clock::now());
    return true;
}

void GadgetFsServer::dropFramesInFlight(int channel) {
    std::lock_guard lock(framesMutex_);
    FramesInFlight& pipe = framesInFlight_[static_cast<std::size_t>(channel)];
    pipe.drop = true;
    adapter_.setFramesInFlight(channel, 0); // gone for the host's next count already
    if (pipe.thread)
        ::pthread_kill(*pipe.thread, kWakeSignal);
}

void GadgetFsServer::serveIn(std::uint8_t endpoint, int fd) {
    const bool frames = isFramePipe(endpoint);
    const int channel = frameChannel(endpoint);
    if (frames) {
        std::lock_guard lock(framesMutex_);
        framesInFlight_[static_cast<std::size_t>(channel)].thread = ::pthread_self();
    }
    while (!ending()) {
        if (frames) {
            std::lock_guard lock(framesMutex_);
            framesInFlight_[static_cast<std::size_t>(channel)].drop = false;
        }
        ReadResult result = adapter_.read(endpoint, frames ? kLongestFrameRead : kMaxPacket,
                                          std::chrono::steady_clock::now() + kPollTime);
        if (!result.data || result.bytes.empty())
            continue;
        if (frames) {
            dropTrailingEmptyBlocks(result.bytes);
            // A one-packet transfer may go into the controller's FIFO at
            // once, where it can neither be counted as waiting nor dropped
            // any more. With an empty block after it the controller holds it
            // until the host fetches it; the host always asks for two blocks
            // or more, and takes an empty block as "no more frames".
            if (result.bytes.size() == kBlockSize)
                result.bytes.resize(2 * kBlockSize, 0);
            adapter_.setFramesInFlight(channel, framesIn(result.bytes));
            faults_.mangleFrameRead(result.bytes);
        }
        const bool sent = sendAll(fd, result.bytes, endpoint);
        if (frames)
            adapter_.setFramesInFlight(channel, 0);
        // Whole blocks are full packets: a zero-length packet ends the
        // host's transfer, which otherwise waits for more until it times out.
        if (sent && frames && result.bytes.size() % kMaxPacket == 0 &&
            !faults_.plan().unterminatedReads)
            sendAll(fd, {}, endpoint);
    }
    if (frames) {
        std::lock_guard lock(framesMutex_);
        framesInFlight_[static_cast<std::size_t>(channel)].thread.reset();
    }
}

bool GadgetFsServer::sendAll(int fd, const std::vector<std::uint8_t>& bytes,
                             std::uint8_t endpoint) {
    for (;;) {
        if (::write(fd, bytes.data(), bytes.size()) >= 0)
            return true;
        if (ending())
            return false;
        if (errno == EINTR && isFramePipe(endpoint)) {
            std::lock_guard lock(framesMutex_);
            if (framesInFlight_[static_cast<std::size_t>(frameChannel(endpoint))].drop)
                return false; // cleared by the host before it fetched them
        }
        if (errno != EINTR) {
            log_.print("pipe " + endpointName(endpoint) + ": " + std::strerror(errno) + ", " +
                       std::to_string(bytes.size()) + " bytes not delivered");
            return false;
        }
    }
}

} // namespace emu
