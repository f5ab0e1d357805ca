#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

// Carries count changes of transmit items from the threads that send them
// (window, periodic send thread, receive thread) to the transmit grid on the
// window's thread. Qt-free, so its thread contract is tested on its own.
//
// A change of an item of the channel shown asks for one update through
// `post`; further changes wait until the window starts that update with
// BeginFlush, which reads every count afresh. So a flood of sends costs one
// update, and no change made before BeginFlush returns goes unseen.
//
// Touched by every sending thread and by the window's thread: FPost is
// guarded by FLock (post runs under it, so Detach waits for a running one);
// the channel and the pending flag are atomics.
class TSendGridCountRelay {
public:
    using TPost = std::function<void()>;

    explicit TSendGridCountRelay(TPost post) : FPost(std::move(post)) {}

    // Any thread: an item with this tag (channel << 16 | row) changed its count.
    void CountChanged(std::int32_t tag);

    // Window's thread: the channel whose items are shown.
    void SetChannel(int channelIndex) { FChannelIndex.store(channelIndex); }
    // Window's thread: call before reading the counts.
    void BeginFlush() { FPending.store(false); }
    // Window's thread: after it returns, post is never called again.
    void Detach();

private:
    std::mutex FLock;
    TPost FPost;
    std::atomic<int> FChannelIndex{0};
    std::atomic<bool> FPending{false};
};
