#include "can_bus.h"

#include <algorithm>

namespace emu {
namespace {

// How far the bus may run ahead of real time before it sleeps; it then
// sleeps until real time has caught up. Sleeping per frame would cost a
// wake-up every 55 µs at 1 Mbit/s; this way the bus thread wakes once per
// slack and the average rate stays exact.
constexpr auto kPaceSlack = std::chrono::milliseconds(1);
// Longest idle wait; a wake() or a node's due time usually ends it earlier.
constexpr auto kMaxIdle = std::chrono::milliseconds(200);

// Arbitration order: the lower value wins, as the dominant bits would on the
// wire. Base identifier first, then RTR/SRR, IDE, the extension and its RTR.
std::uint32_t arbitrationKey(const CanFrame& f) {
    const std::uint32_t rtr = f.remote ? 1 : 0;
    if (!f.extended)
        return ((f.id & 0x7FF) << 21) | (rtr << 20);
    const std::uint32_t base = (f.id >> 18) & 0x7FF;
    return (base << 21) | (1u << 20) | (1u << 19) | ((f.id & 0x3FFFF) << 1) | rtr;
}

} // namespace

struct CanBus::Candidate {
    std::uint32_t key;
    CanFrame frame;
    BitTiming timing;
    Channel* channel = nullptr; // host frame: its channel and ticket
    std::uint64_t ticket = 0;
    TrafficNode* node = nullptr; // or a simulated node
};

CanBus::CanBus(int index, bool timing, const EmuClock& clock)
    : index_(index), timing_(timing), clock_(clock) {}

CanBus::~CanBus() {
    stop();
}

void CanBus::attach(Channel& channel) {
    channels_.push_back(&channel);
    channel.setBusWake([this] { wake(); });
}

void CanBus::addNode(std::unique_ptr<TrafficNode> node) {
    nodes_.push_back(std::move(node));
}

void CanBus::start() {
    busFree_ = Clock::now();
    for (auto& node : nodes_)
        node->idle(busFree_);
    thread_ = std::thread([this] { run(); });
}

void CanBus::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wakeup_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void CanBus::wake() {
    {
        std::lock_guard lock(mutex_);
        wakePending_ = true;
    }
    wakeup_.notify_all();
}

void CanBus::run() {
    for (;;) {
        const Step next = step();
        std::unique_lock lock(mutex_);
        if (stopping_)
            return;
        if (next.kind == StepKind::Pace) {
            wakeup_.wait_until(lock, next.until, [&] { return stopping_; });
        } else if (next.kind == StepKind::Idle) {
            wakeup_.wait_until(lock, next.until, [&] { return stopping_ || wakePending_; });
            wakePending_ = false;
        }
    }
}

CanBus::Step CanBus::step() {
    const auto now = Clock::now();
    if (busFree_ > now + kPaceSlack)
        return {StepKind::Pace, busFree_};
    const auto at = std::max(busFree_, now);

    // The frames waiting first, the channels' states after: whatever a host
    // did before it queued a frame (starting a listener) is then seen with
    // that frame, so the frame cannot pass a listener it should reach.
    heads_.clear();
    for (Channel* channel : channels_)
        heads_.push_back(channel->peekTransmit());
    views_.clear();
    for (Channel* channel : channels_)
        views_.push_back(channel->busView());

    Clock::time_point nextNodeDue = now + kMaxIdle;
    gatherCandidates(at, nextNodeDue);
    const auto& candidates = candidates_;
    if (candidates.empty())
        return {StepKind::Idle, nextNodeDue};

    const auto winner =
        std::min_element(candidates.begin(), candidates.end(),
                         [](const auto& a, const auto& b) { return a.key < b.key; });
    if (winner->channel && !winner->channel->popTransmit(winner->ticket))
        return {StepKind::Retry, now}; // reset meanwhile; look again

    const auto start = startOf(*winner, at);
    const auto end = start + frameDuration(winner->frame, winner->timing);
    if (winner->node)
        winner->node->sent(start, end);
    CanFrame frame = winner->frame;
    frame.stampTicks = clock_.ticksAt(timing_ ? end : start);
    if (timing_)
        busFree_ = end;
    deliver(frame, winner->channel, winner->timing);
    carried_.fetch_add(1, std::memory_order_relaxed);
    return {StepKind::Sent, now};
}

CanBus::Clock::time_point CanBus::startOf(const Candidate& winner, Clock::time_point at) const {
    if (!winner.node || !timing_)
        return at;
    // A simulated node starts its frame when it was due if the bus was free
    // then, so that a late wake-up of this thread does not shift the spacing
    // of replayed or periodic frames; within the node's limit only.
    const auto due = winner.node->nextDue().value_or(at);
    return std::max({busFree_, due, at - winner.node->catchUpLimit()});
}

void CanBus::gatherCandidates(Clock::time_point at, Clock::time_point& nextNodeDue) {
    const std::vector<BusView>& views = views_;
    std::vector<Candidate>& candidates = candidates_;
    candidates.clear();
    std::optional<BitTiming> nodeTiming;
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        if (!views[i].active)
            continue;
        if (!nodeTiming)
            nodeTiming = views[i].timing;
        if (const auto& head = heads_[i])
            candidates.push_back({arbitrationKey(head->second), head->second, views[i].timing,
                                  channels_[i], head->first, nullptr});
    }
    for (auto& node : nodes_) {
        // Nodes are silent while nobody listens; the first step with a
        // listener is when they start, not the last idle step before it.
        if (!nodeTiming || !heardBefore_) {
            node->idle(at);
            if (!nodeTiming)
                continue;
        }
        const auto due = node->nextDue();
        if (!due)
            continue;
        if (*due <= at) {
            const CanFrame frame = node->pendingFrame();
            candidates.push_back(
                {arbitrationKey(frame), frame, *nodeTiming, nullptr, 0, node.get()});
        } else {
            nextNodeDue = std::min(nextNodeDue, *due);
        }
    }
    heardBefore_ = nodeTiming.has_value();
}

void CanBus::deliver(const CanFrame& frame, const Channel* sender, BitTiming timing) {
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        const BusView& view = views_[i];
        if (!view.active || view.timing != timing)
            continue;
        if (channels_[i] == sender && view.mode != BusMode::SelfTest && !frame.selfReception)
            continue;
        channels_[i]->deliver(frame);
    }
}

} // namespace emu
