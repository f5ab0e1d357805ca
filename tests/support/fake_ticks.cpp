#include "fake_ticks.h"

#include <atomic>

namespace tessel::test {
namespace {

std::atomic<std::uint32_t> gFakeNow{0};

std::uint32_t FakeNow() {
    return gFakeNow.load();
}

} // namespace

FakeTicks::FakeTicks(std::uint32_t start) {
    gFakeNow.store(start);
    FPrevious = platform::SetTickSource(&FakeNow);
}

FakeTicks::~FakeTicks() {
    platform::SetTickSource(FPrevious);
}

void FakeTicks::Set(std::uint32_t now) {
    gFakeNow.store(now);
}

void FakeTicks::Advance(std::uint32_t milliseconds) {
    gFakeNow.fetch_add(milliseconds);
}

std::uint32_t FakeTicks::Now() const {
    return gFakeNow.load();
}

} // namespace tessel::test
