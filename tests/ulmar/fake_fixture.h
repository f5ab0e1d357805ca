// Runs the library in-process against FakeBackend: no USB adapters, one
// virtual adapter that the fake stands for. Library state starts fresh.
#pragma once

#include "core/library_state.h"
#include "fake_backend.h"
#include "transport/transport.h"
#include "ulmar.h"

#include <gtest/gtest.h>

namespace ulmar::test {

// Pipe slot values the fake hands out: the endpoint addresses.
constexpr std::int32_t kFrameOut0 = 0x01;
constexpr std::int32_t kFrameIn0 = 0x81;
constexpr std::int32_t kCommandOut0 = 0x02;
constexpr std::int32_t kReplyIn0 = 0x82;
constexpr std::int32_t kAuxOut0 = 0x05;
constexpr std::int32_t kAuxIn0 = 0x85;
constexpr std::int32_t kFrameOut1 = 0x03;
constexpr std::int32_t kFrameIn1 = 0x83;
constexpr std::int32_t kCommandOut1 = 0x04;

class FakeAdapterTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLibraryState();
        usb.adapters = 0;
        useBackends(&usb, &adapter);
    }
    void TearDown() override {
        useBackends(nullptr, nullptr);
        resetLibraryState();
    }

    // Opens device 0 with type 4 and forgets the traffic of the open.
    void openDevice(std::uint32_t type = 4) {
        ASSERT_EQ(VCI_OpenDevice(type, 0, 0), 1);
        adapter.openedEndpoints.clear();
    }

    // The packets written to a command pipe.
    std::vector<std::vector<std::uint8_t>> packetsTo(std::int32_t pipe) const {
        return adapter.writtenBlocks(pipe);
    }

    FakeBackend usb;
    FakeBackend adapter;
};

} // namespace ulmar::test
