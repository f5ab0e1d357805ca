// The adapter that goes and comes back, end to end: the real library against
// a ulmar-emu process that is stopped while both channels are open and then
// started again under the same name. The monitor reports the loss, keeps
// what it captured, closes, and opens again without a restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "adapters/zlg_adapter.h"
#include "e2e_helpers.h"
#include "emu_process.h"
#include "model/can_settings.h"
#include "model/logger.h"
#include "test_files.h"
#include "wait_until.h"

using tessel::test::WaitUntil;

namespace {

TCanFrame DataFrame(uint32_t id) {
    TCanFrame frame;
    frame.Id = id;
    frame.IsStandard = true;
    frame.Len = 1;
    return frame;
}

std::vector<std::string> LogLines(CAdapterZlg& adapter, int channel) {
    std::vector<std::string> lines;
    std::string line;
    while (adapter.GetLogger(channel)->Pop(line)) {
        lines.push_back(line);
    }
    return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(AdapterReconnectE2e, LostAdapterIsReportedAndOpensAgainOnceBack) {
    RemoveTransmitLists();
    tessel::test::DeviceDir dir;
    std::optional<tessel::test::EmuProcess> emu(std::in_place, dir, "reconnect");
    CAdapterZlg adapter;
    for (int i = 0; i < 2; ++i) {
        adapter.GetSettings(i)->Rate = 1000000;
        ASSERT_TRUE(adapter.OpenChannel(i)) << adapter.GetLastError();
    }
    adapter.Manager().GetChannel(0)->SendFrame(DataFrame(0x101));
    ASSERT_TRUE(WaitUntil([&] { return CountId(*adapter.GetTraceList(1), false, 0x101) == 1; }));

    emu.reset();
    ASSERT_TRUE(WaitUntil([&] {
        return adapter.GetChannelFault(0) == "Adapter lost" &&
               adapter.GetChannelFault(1) == "Adapter lost";
    }));
    EXPECT_TRUE(adapter.IsChannelOpen(0));
    EXPECT_TRUE(Contains(LogLines(adapter, 1), "** Adapter lost: receiving fails"));
    EXPECT_EQ(CountId(*adapter.GetTraceList(1), false, 0x101), 1) << "what was captured stays";

    adapter.CloseChannel(0);
    adapter.CloseChannel(1);
    EXPECT_FALSE(adapter.IsAnyChannelOpen());
    EXPECT_FALSE(adapter.OpenChannel(0)) << "nothing to open while it is away";

    emu.emplace(dir, "reconnect");
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(adapter.OpenChannel(i)) << adapter.GetLastError();
    }
    adapter.Manager().GetChannel(1)->SendFrame(DataFrame(0x202));
    ASSERT_TRUE(WaitUntil([&] { return CountId(*adapter.GetTraceList(0), false, 0x202) == 1; }));
    EXPECT_EQ(adapter.GetChannelFault(0), "");
    EXPECT_EQ(adapter.GetChannelFault(1), "");
    adapter.CloseChannel(0);
    adapter.CloseChannel(1);
    RemoveTransmitLists();
}

} // namespace
