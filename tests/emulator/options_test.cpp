#include <gtest/gtest.h>

#include "options.h"

namespace emu {
namespace {

std::optional<Options> parse(std::vector<std::string> args, std::string* errorOut = nullptr) {
    std::string error;
    auto options = parseOptions(args, error);
    if (errorOut)
        *errorOut = error;
    return options;
}

TEST(Options, DefaultsDescribeTheUsualAdapter) {
    const auto o = parse({}).value();
    EXPECT_EQ(o.name, "virtual0");
    EXPECT_EQ(o.adapter.identity.vendorId, 0x04D8);
    EXPECT_EQ(o.adapter.identity.productId, 0x0053);
    EXPECT_EQ(o.adapter.identity.deviceCode.size(), 4u);
    EXPECT_EQ(o.adapter.identity.serial.size(), 8u);
    EXPECT_TRUE(o.busTiming);
    EXPECT_FALSE(o.separateBuses);
    EXPECT_EQ(o.faults.writeTimeout, std::chrono::milliseconds(1000));
}

TEST(Options, ParsesValuesInBothSpellings) {
    const auto o = parse({"--name",
                          "bench-1",
                          "--device-code=8A01",
                          "--serial",
                          "ABC",
                          "--release",
                          "0x0301",
                          "--flood",
                          "100",
                          "--separate-buses",
                          "--no-bus-timing",
                          "--rx-buffer=64",
                          "--stall-writes",
                          "0x01:1",
                          "--drop-after",
                          "5@0x81",
                          "--refuse-pipe",
                          "0x85",
                          "--languages",
                          "0409,0407",
                          "--flood-length",
                          "0",
                          "--flood-ids=random:100000:3",
                          "-v"})
                       .value();
    EXPECT_EQ(o.name, "bench-1");
    EXPECT_EQ(o.adapter.identity.deviceCode, "8A01");
    EXPECT_EQ(o.adapter.identity.serial, "ABC");
    EXPECT_EQ(o.adapter.identity.release, 0x0301);
    EXPECT_EQ(o.floodPercent, 100u);
    EXPECT_EQ(o.flood.length, 0u);
    EXPECT_EQ(o.flood.ids, FloodPattern::Ids::Random);
    EXPECT_EQ(o.flood.randomCount, 100000u);
    EXPECT_EQ(o.flood.seed, 3u);
    EXPECT_TRUE(o.separateBuses);
    EXPECT_FALSE(o.busTiming);
    EXPECT_EQ(o.adapter.receiveCapacity, 64u);
    EXPECT_EQ(o.faults.stallWrites.at(0x01), 1u);
    EXPECT_EQ(o.faults.dropAfter->after, 5u);
    EXPECT_EQ(o.faults.dropAfter->endpoint, 0x81);
    EXPECT_TRUE(o.faults.refusedPipes.count(0x85));
    EXPECT_EQ(o.adapter.identity.languages, (std::vector<std::uint16_t>{0x0409, 0x0407}));
    EXPECT_TRUE(o.verbose);
}

TEST(Options, RejectsBadCommandLinesWithAReason) {
    const std::vector<std::vector<std::string>> bad{
        {"--bogus"},
        {"--name"},
        {"--name", "../x"},
        {"--flood", "0"},
        {"--flood-ids", "random:0"},
        {"--flood", "101"},
        {"--device-code", "12345"},
        {"--release", "0x10000"},
        {"--stall-writes", "0x07"},
        {"--refuse-pipe", "0x90"},
        {"--rx-buffer", "0"},
        {"--flood", "50", "--replay", "x.log"},
        {"--demo=1"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(parse(args, &error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(Options, ControllerConditionsApplyToOneChannelOrBoth) {
    const auto o = parse({"--rx-errors", "97", "--tx-errors=12@1", "--error-passive", "0",
                          "--bus-off", "1", "--overrun-every", "50@0"})
                       .value();
    const auto& c0 = o.adapter.controllerFaults[0];
    const auto& c1 = o.adapter.controllerFaults[1];
    EXPECT_EQ(c0.receiveErrors, 97);
    EXPECT_EQ(c1.receiveErrors, 97);
    EXPECT_EQ(c0.transmitErrors, 0);
    EXPECT_EQ(c1.transmitErrors, 12);
    EXPECT_TRUE(c0.errorPassive);
    EXPECT_FALSE(c1.errorPassive);
    EXPECT_FALSE(c0.busOff);
    EXPECT_TRUE(c1.busOff);
    EXPECT_EQ(c0.overrunEvery, 50u);
    EXPECT_EQ(c1.overrunEvery, 0u);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--rx-errors", "256"},
                                                {"--tx-errors", "1@2"},
                                                {"--bus-off", "2"},
                                                {"--overrun-every", "0"},
                                                {"--error-passive", "x"}}) {
        EXPECT_FALSE(parse(bad)) << bad[0] << " " << bad[1];
    }
}

TEST(Options, HelpMentionsEveryOption) {
    const std::string help = helpText();
    for (const auto& name : optionNames())
        EXPECT_NE(help.find(name), std::string::npos) << name;
}

} // namespace
} // namespace emu
