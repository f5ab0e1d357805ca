// ulmar-emu over its link, with a raw client: the requests, their replies and
// time-outs, and frames between the two channels.

#include <filesystem>
#include <random>
#include <thread>

#include "link_helpers.h"

namespace emu::testing {
namespace {

using tessel::test::DeviceDir;
using tessel::test::EmuProcess;

TEST(Link, DescriptorsComeFromTheControlPipe) {
    DeviceDir dir;
    EmuProcess emu(dir, "desc", {"--device-code", "8A01", "--release", "0x0312"});
    auto control = openPipe(emu.port(), 0x80);

    const auto device = control->descriptor(1, 0, 0, 18).value();
    ASSERT_EQ(device.status, 0u);
    ASSERT_EQ(device.data.size(), 18u);
    EXPECT_EQ(getU16(&device.data[8]), 0x04D8);
    EXPECT_EQ(getU16(&device.data[10]), 0x0053);
    EXPECT_EQ(getU16(&device.data[12]), 0x0312);

    const auto product = control->descriptor(3, 2, 0x0409, 10).value();
    ASSERT_EQ(product.status, 0u);
    ASSERT_EQ(product.data.size(), 10u);
    EXPECT_EQ(std::string({char(product.data[2]), char(product.data[4]), char(product.data[6]),
                           char(product.data[8])}),
              "8A01");

    const auto serial = control->descriptor(3, 4, 0x0409, 255).value();
    EXPECT_EQ(serial.data.size(), 18u);
    EXPECT_EQ(serial.data[0], 18);
    EXPECT_EQ(serial.data[1], 3);

    EXPECT_EQ(control->descriptor(3, 9, 0x0409, 255)->status, 1u);
    EXPECT_TRUE(control->descriptor(3, 9, 0x0409, 255)->data.empty());
}

TEST(Link, SerialNumberIsSettable) {
    DeviceDir dir;
    EmuProcess emu(dir, "serial", {"--serial", "ABC"});
    auto control = openPipe(emu.port(), 0x80);
    // A string descriptor: length, type 3, then the text in UTF-16LE.
    const std::vector<std::uint8_t> expected{8, 3, 'A', 0, 'B', 0, 'C', 0};
    EXPECT_EQ(control->descriptor(3, 4, 0x0409, 255)->data, expected);
}

TEST(Link, OpenRefusesWhatIsNoEndpoint) {
    DeviceDir dir;
    EmuProcess emu(dir, "open");
    for (std::uint8_t ep : {0x00, 0x07, 0x87, 0x7F}) {
        LinkPipe pipe(emu.port());
        EXPECT_EQ(pipe.open(ep), 1u) << int(ep);
        // A refused open leaves the connection free to try another endpoint.
        EXPECT_EQ(pipe.open(0x81), 0u);
    }
}

TEST(Link, ReadTimesOutWithinItsTimeOut) {
    DeviceDir dir;
    EmuProcess emu(dir, "timeout");
    auto frames = openPipe(emu.port(), 0x81);
    auto replies = openPipe(emu.port(), 0x82);
    for (auto* pipe : {frames.get(), replies.get()}) {
        const auto r = pipe->read(1024, 200);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 1u);
        EXPECT_TRUE(r->data.empty());
    }
    // The pipe stays usable after a time-out.
    auto commands = openPipe(emu.port(), 0x02);
    commands->write(command({10}));
    const auto reply = replies->read(64, 1000).value();
    EXPECT_EQ(reply.status, 0u);
    EXPECT_EQ(reply.data.size(), 64u);
}

TEST(Link, TwoChannelsShareOneBusByDefault) {
    DeviceDir dir;
    EmuProcess emu(dir, "bus");
    startChannelOverLink(emu.port(), 0);
    startChannelOverLink(emu.port(), 1);
    auto out0 = openPipe(emu.port(), 0x01);
    auto out1 = openPipe(emu.port(), 0x03);
    auto in0 = openPipe(emu.port(), 0x81);
    auto in1 = openPipe(emu.port(), 0x83);

    const auto w = out0->write(hostBlocks({testFrame(0x321, 7), testFrame(0x1234567, 8, true)}));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->status, 0u);
    EXPECT_EQ(w->taken, 64u);
    const auto at1 = readFrames(*in1, 2);
    ASSERT_EQ(at1.size(), 2u);
    EXPECT_EQ(at1[0].id, 0x321u);
    EXPECT_EQ(at1[1].id, 0x1234567u);
    EXPECT_TRUE(at1[1].extended);

    out1->write(hostBlocks({testFrame(0x42, 9)}));
    const auto at0 = readFrames(*in0, 1);
    ASSERT_EQ(at0.size(), 1u);
    EXPECT_EQ(getU32(at0[0].data.data()), 9u);
    EXPECT_EQ(emu.stop(), 0); // also catches sanitizer reports of the emulator
}

TEST(Link, SeparateBusesOption) {
    DeviceDir dir;
    EmuProcess emu(dir, "apart", {"--separate-buses"});
    // Channel 0 in self-test mode hears its own frames: proof that the frame
    // went out on its bus.
    {
        auto commands = openPipe(emu.port(), 0x02);
        ASSERT_EQ(commands->write(initCommand(0x00, 0x14, 2))->status, 0u);
        ASSERT_EQ(commands->write(command({2}))->status, 0u);
    }
    startChannelOverLink(emu.port(), 1);
    auto out0 = openPipe(emu.port(), 0x01);
    auto in0 = openPipe(emu.port(), 0x81);
    auto in1 = openPipe(emu.port(), 0x83);
    out0->write(hostBlocks({testFrame(0x321, 7)}));
    const auto heard = readFrames(*in0, 1);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].id, 0x321u);
    // A bus delivers to all its channels as it carries a frame; channel 1
    // would have it by now if it shared the bus.
    EXPECT_EQ(in1->read(1024, 200)->status, 1u);
}

TEST(Link, MalformedMessagesCloseOnlyTheirConnection) {
    DeviceDir dir;
    EmuProcess emu(dir, "robust");
    auto healthy = openPipe(emu.port(), 0x82);

    {
        LinkPipe pipe(emu.port()); // a length far above any transfer
        std::vector<std::uint8_t> huge;
        appendU32(huge, 2);
        appendU32(huge, 0xFFFFFFF0);
        pipe.sendRaw(huge);
        EXPECT_TRUE(pipe.closedByPeer());
    }
    {
        LinkPipe pipe(emu.port()); // request before OPEN
        EXPECT_FALSE(pipe.read(64, 10));
    }
    {
        auto pipe = openPipe(emu.port(), 0x81); // write on an in-pipe
        EXPECT_FALSE(pipe->write({1, 2, 3}));
    }
    {
        auto pipe = openPipe(emu.port(), 0x01); // unknown kind
        EXPECT_FALSE(pipe->request(99, {}));
    }
    {
        auto pipe = openPipe(emu.port(), 0x02); // descriptor on a data pipe
        EXPECT_FALSE(pipe->descriptor(1, 0, 0, 18));
    }
    {
        auto pipe = openPipe(emu.port(), 0x81); // READ with a short payload
        EXPECT_FALSE(pipe->request(3, {1, 2, 3}));
    }
    // Everything else still works.
    auto commands = openPipe(emu.port(), 0x02);
    commands->write(command({12}));
    EXPECT_EQ(healthy->read(64, 1000)->status, 0u);
    EXPECT_EQ(emu.stop(), 0);
}

// Random requests from several threads at once: the emulator answers or closes
// connections, but keeps running and keeps serving.
TEST(Link, SurvivesRandomRequestsFromManyConnections) {
    DeviceDir dir;
    EmuProcess emu(dir, "fuzz", {"--no-bus-timing"});
    startChannelOverLink(emu.port(), 0);
    startChannelOverLink(emu.port(), 1);
    const std::vector<std::uint8_t> endpoints{0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x81,
                                              0x82, 0x83, 0x84, 0x85, 0x86, 0x07, 0x00};
    auto client = [&](unsigned seed) {
        std::mt19937 random(seed);
        auto bytes = [&](std::size_t n) {
            std::vector<std::uint8_t> b(n);
            for (auto& x : b)
                x = static_cast<std::uint8_t>(random());
            return b;
        };
        for (int round = 0; round < 20; ++round) {
            LinkPipe pipe(emu.port());
            const std::uint8_t endpoint = endpoints[random() % endpoints.size()];
            pipe.open(endpoint);
            for (int i = 0; i < 20; ++i) {
                // Mostly the request that fits the pipe, with random contents.
                std::uint32_t kind = endpoint == 0x80 ? 4 : (endpoint & 0x80) ? 3 : 2;
                if (random() % 4 == 0)
                    kind = random() % 6;
                auto payload = bytes(kind == 2 ? random() % 1100 : 8);
                if (kind == 3)
                    putU32(payload.data() + 4, random() % 20); // keep held reads short
                if (random() % 8 == 0)
                    payload = bytes(random() % 40);
                if (!pipe.request(kind, payload, 3s))
                    break;
            }
        }
    };
    std::vector<std::thread> clients;
    for (unsigned seed = 1; seed <= 4; ++seed)
        clients.emplace_back(client, seed);
    for (auto& t : clients)
        t.join();
    auto control = openPipe(emu.port(), 0x80);
    EXPECT_EQ(control->descriptor(1, 0, 0, 18)->data.size(), 18u);
    EXPECT_EQ(emu.stop(), 0);
}

TEST(Link, TwoEmulatorsShareOneDirectory) {
    DeviceDir dir;
    EmuProcess first(dir, "a0");
    EmuProcess second(dir, "a1", {"--device-code", "1234"});
    EXPECT_NE(first.port(), second.port());
    EXPECT_TRUE(std::filesystem::exists(dir.adapterFile("a0")));
    EXPECT_TRUE(std::filesystem::exists(dir.adapterFile("a1")));
    auto control = openPipe(second.port(), 0x80);
    EXPECT_EQ(control->descriptor(3, 2, 0x0409, 10)->data[2], '1');
}

} // namespace
} // namespace emu::testing
