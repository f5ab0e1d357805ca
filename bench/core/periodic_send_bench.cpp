// The periodic send thread's actual intervals for items of 1, 10 and 100 ms:
// mean and 99th percentile of the time between two sends of one item.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transmit/periodic_send_thread.h"
#include "transmit/send_list.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t Periods[] = {1, 10, 100};

void PrintHelp() {
    std::puts("usage: core_periodic_bench [--seconds S]\n"
              "  Runs a periodic send thread for S seconds (default 10) over one list with\n"
              "  periodic items of 1, 10 and 100 ms, timestamps every send in the send\n"
              "  handler and prints the mean and 99th percentile interval per item.");
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index =
        static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        }
        if (arg == "--seconds" && i + 1 < argc)
            seconds = std::strtod(argv[++i], nullptr);
        else {
            PrintHelp();
            return 2;
        }
    }
    if (seconds <= 0) {
        PrintHelp();
        return 2;
    }

    // The handler runs on the periodic send thread; the stamps are read after it ends.
    std::mutex stampsLock;
    std::vector<std::vector<Clock::time_point>> stamps(std::size(Periods));
    TCanSendList list;
    for (std::size_t i = 0; i < std::size(Periods); ++i) {
        auto item = std::make_unique<TCanSendItem>();
        item->SendType = TCanSendType::Periodic;
        item->Enabled.store(true);
        item->Period = Periods[i];
        item->Frame.Id = static_cast<std::uint32_t>(i);
        list.Add(std::move(item));
    }
    list.SetOnSend([&](const TCanFrame& frame) {
        std::lock_guard<std::mutex> lock(stampsLock);
        stamps[frame.Id].push_back(Clock::now());
    });

    {
        TPeriodicSendThread thread(&list, true);
        thread.Resume();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        thread.Suspend();
    }

    std::lock_guard<std::mutex> lock(stampsLock);
    std::printf("periodic send thread, %.1f s run\n", seconds);
    for (std::size_t i = 0; i < std::size(Periods); ++i) {
        std::vector<double> intervals;
        for (std::size_t k = 1; k < stamps[i].size(); ++k)
            intervals.push_back(
                std::chrono::duration<double, std::milli>(stamps[i][k] - stamps[i][k - 1]).count());
        if (intervals.empty()) {
            std::printf("period %3d ms: no intervals measured\n", Periods[i]);
            continue;
        }
        double sum = 0;
        for (const double interval : intervals)
            sum += interval;
        std::printf("period %3d ms: %6zu intervals, mean %.3f ms, p99 %.3f ms, max %.3f ms\n",
                    Periods[i], intervals.size(), sum / static_cast<double>(intervals.size()),
                    Percentile(intervals, 0.99),
                    *std::max_element(intervals.begin(), intervals.end()));
    }
    return 0;
}
