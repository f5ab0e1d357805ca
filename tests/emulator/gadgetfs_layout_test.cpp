// How the USB front end lays out the adapter: endpoint files it picks on
// different device controllers and the configuration descriptor it writes.
#include "gadgetfs_server.h"

#include <gtest/gtest.h>

using namespace emu;

TEST(GadgetFsLayout, EndpointFilesMatchNumberDirectionAndBulk) {
    // dummy_hcd: a few numbered endpoints, interrupt-only ones, and "ep-a" ones.
    const std::vector<std::string> dummy{"dummy_udc",   "ep1in-bulk", "ep1out-bulk", "ep2in-bulk",
                                         "ep2out-bulk", "ep5in-int",  "ep6in-bulk",  "ep-aout",
                                         "ep-bin",      "ep-cout"};
    std::vector<std::string> taken;
    EXPECT_EQ(endpointFile(0x81, dummy, taken), "ep1in-bulk");
    EXPECT_EQ(endpointFile(0x02, dummy, taken), "ep2out-bulk");
    EXPECT_EQ(endpointFile(0x85, dummy, taken), "ep-bin") << "never the interrupt endpoint";
    EXPECT_EQ(endpointFile(0x03, dummy, taken), "ep-aout");
    taken = {"ep-aout", "ep-cout"};
    EXPECT_EQ(endpointFile(0x04, dummy, taken), "") << "no free out endpoint left";
    // A board's controller with endpoints numbered in pairs.
    const std::vector<std::string> board{"musb-hdrc", "ep1in", "ep1out", "ep3in", "ep3out"};
    EXPECT_EQ(endpointFile(0x83, board, {}), "ep3in");
    EXPECT_EQ(endpointFile(0x03, board, {}), "ep3out");
    EXPECT_EQ(endpointFile(0x84, board, {}), "");
}

TEST(GadgetFsLayout, ConfigurationListsTheOfferedBulkEndpoints) {
    FaultPlan faults;
    faults.refusedPipes = {0x05, 0x86};
    const auto endpoints = deviceEndpoints(faults);
    EXPECT_EQ(endpoints, (std::vector<std::uint8_t>{0x01, 0x81, 0x02, 0x82, 0x03, 0x83, 0x04, 0x84,
                                                    0x85, 0x06}));
    const auto d = configurationDescriptor(endpoints);
    ASSERT_EQ(d.size(), 9u + 9u + 7u * endpoints.size());
    EXPECT_EQ(d[2] | d[3] << 8, static_cast<int>(d.size())) << "wTotalLength";
    EXPECT_EQ(d[9 + 4], endpoints.size()) << "bNumEndpoints";
    for (std::size_t i = 0; i < endpoints.size(); ++i) {
        const std::uint8_t* e = &d[18 + 7 * i];
        EXPECT_EQ(e[2], endpoints[i]);
        EXPECT_EQ(e[3], 2) << "bulk";
        EXPECT_EQ(e[4] | e[5] << 8, 64) << "full-speed packets";
    }
}
