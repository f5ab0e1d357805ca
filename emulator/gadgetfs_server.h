#pragma once

// Serves the virtual adapter as a real USB device through gadgetfs (Linux,
// as root): the adapter's own device descriptor and strings, one full-speed
// vendor interface with bulk endpoints 0x01-0x06 out and 0x81-0x86 in.
// gadgetfs leaves the endpoint addresses to us, so they are the adapter's
// whatever the device controller calls its endpoints.
//
// Like the adapter's firmware, one thread takes the host's packets from all
// out-endpoints in the order the host sent them: a channel started by a
// command is running before frames sent after that command reach it. Each
// in-endpoint has a thread of its own.
//
// Threads: open(), start() and stop() on the main thread. The control thread
// answers ep0 and starts and ends the endpoint threads when the host sets or
// drops the configuration. The adapter guards itself.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <linux/usb/ch9.h>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "adapter.h"
#include "fault_plan.h"
#include "verbose_log.h"

namespace emu {

// The endpoints the device offers, in descriptor order.
std::vector<std::uint8_t> deviceEndpoints(const FaultPlan& faults);

// The full-speed configuration descriptor with its interface and endpoints.
std::vector<std::uint8_t> configurationDescriptor(const std::vector<std::uint8_t>& endpoints);

// The endpoint file of `files` (names in a gadgetfs directory) that serves
// `endpoint`: the controller's bulk endpoint of that number and direction, else a
// free one of any number ("ep-a" style) in that direction. Empty if none.
std::string endpointFile(std::uint8_t endpoint, const std::vector<std::string>& files,
                         const std::vector<std::string>& taken);

class GadgetFsServer {
public:
    // `directory` is where gadgetfs is mounted, e.g. /dev/gadget.
    GadgetFsServer(Adapter& adapter, FaultPlan faults, std::string directory, VerboseLog& log);
    ~GadgetFsServer();
    GadgetFsServer(const GadgetFsServer&) = delete;
    GadgetFsServer& operator=(const GadgetFsServer&) = delete;

    // Writes the descriptors to the controller's file, which connects the
    // adapter to the host. False with a reason in `error`.
    bool open(std::string& error);
    void start();
    // Ends every thread, even one blocked in a transfer, and disconnects.
    void stop();

private:
    struct Endpoint {
        std::uint8_t address = 0;
        std::string path;
        int fd = -1;
        std::thread thread;
    };

    void serveControl();
    void handleSetup(const usb_ctrlrequest& setup);
    // Opens and enables the endpoint files and starts their threads.
    void configure();
    // Ends the endpoint threads and closes their files; after the device was
    // disconnected only, as packet reads the out-endpoint thread has queued
    // end with the connection.
    void deconfigure();
    struct OutPipe {
        std::uint8_t address = 0;
        int fd = -1;
    };
    void serveOut(const std::vector<OutPipe>& pipes);
    // Control thread: waits until the out-endpoint thread has handled every
    // packet the kernel has taken from the host so far, so that a descriptor
    // shows a device code written just before.
    void awaitOutPackets();
    // Hands one packet to the adapter; false, taking nothing, while the
    // frames it carries do not fit into the channel's transmit buffer.
    bool takeOutPacket(std::uint8_t endpoint, std::span<const std::uint8_t> packet);
    void serveIn(std::uint8_t endpoint, int fd);
    // Waits until the host has fetched all of `bytes`; false when ending.
    bool sendAll(int fd, const std::vector<std::uint8_t>& bytes, std::uint8_t endpoint);
    bool ending() const { return stopping_ || endpointsEnding_; }
    // The host cleared the channel's receive buffer: the frames its frame
    // pipe holds for a transfer not fetched yet are dropped.
    void dropFramesInFlight(int channel);

    Adapter& adapter_;
    FaultInjector faults_; // used by the endpoint threads; guards its own counters
    const std::string directory_;
    VerboseLog& log_;
    int control_ = -1; // the controller's file: ep0; opened by open()
    std::thread controlThread_;
    std::atomic<bool> controlRunning_{false};
    std::atomic<bool> stopping_{false};
    // Owned by the control thread once it runs: files, threads and flags.
    std::vector<Endpoint> endpoints_; // in-endpoints have a thread each
    std::thread outThread_;           // serves every out-endpoint
    bool configured_ = false;

    // Catch-up requests of the control thread to the out-endpoint thread:
    // how many were asked and how many done. Guarded by catchUpMutex_.
    std::mutex catchUpMutex_;
    std::condition_variable caughtUp_;
    std::uint64_t catchUpsAsked_ = 0;
    std::uint64_t catchUpsDone_ = 0;
    std::atomic<int> endpointsRunning_{0};
    std::atomic<bool> endpointsEnding_{false};

    // Per channel: the thread of its frame-in pipe while it serves, and
    // whether its pending transfer is to be dropped. Guarded by framesMutex_
    // (frame-in threads and the command-pipe threads that clear buffers).
    struct FramesInFlight {
        std::optional<pthread_t> thread;
        bool drop = false;
    };
    std::mutex framesMutex_;
    std::array<FramesInFlight, 2> framesInFlight_;
};

} // namespace emu
