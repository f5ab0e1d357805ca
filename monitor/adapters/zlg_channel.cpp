#include "adapters/zlg_channel.h"

TZlgChannel::TZlgChannel(int index) : TChannelManager(NameOf(index)), FIndex(index) {}

std::string TZlgChannel::NameOf(int index) {
    return "zlg_ch" + std::to_string(index);
}
