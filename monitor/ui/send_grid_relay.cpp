#include "send_grid_relay.h"

void TSendGridCountRelay::CountChanged(std::int32_t tag) {
    if (((tag >> 16) & 0xFF) != FChannelIndex.load())
        return; // an item of a channel that is not shown
    if (FPending.exchange(true))
        return; // an update is already on its way
    std::lock_guard<std::mutex> guard(FLock);
    if (FPost)
        FPost();
}

void TSendGridCountRelay::Detach() {
    std::lock_guard<std::mutex> guard(FLock);
    FPost = nullptr;
}
