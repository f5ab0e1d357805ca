// The ZLG adapter with the real library and no adapter present.
#include <gtest/gtest.h>

#include "adapters/zlg_adapter.h"
#include "emu_process.h"
#include "test_files.h"

namespace {

TEST(AdapterNoDeviceTest, EveryOpeningFailsAndTriesTheDeviceAgain) {
    tessel::test::DeviceDir emptyDir;
    RemoveTransmitLists();
    {
        CAdapterZlg adapter;
        adapter.GetSettings(0)->Rate = 250000;
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_FALSE(adapter.OpenChannel(0));
            EXPECT_EQ(adapter.GetLastError(), "Opening device if failed");
            EXPECT_FALSE(adapter.IsChannelOpen(0));
        }
        EXPECT_FALSE(adapter.OpenChannel(2));
        EXPECT_EQ(adapter.GetLastError(), "Channel index is out of range");
        EXPECT_FALSE(adapter.IsAnyChannelOpen());
    }
    RemoveTransmitLists();
}

} // namespace
