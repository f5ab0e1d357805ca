// Cost of the receive path's shared objects per frame: TCorvexTraceList::Add
// and TCorvexTable::Update, and the memory one trace entry takes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <malloc.h>
#include <unistd.h>

#include "model/can_frame.h"
#include "views/frame_table.h"
#include "views/trace_list.h"

namespace {

using Clock = std::chrono::steady_clock;

void PrintHelp() {
    std::puts("usage: core_receive_bench [--entries N] [--keys K]\n"
              "  Adds N frames (default 10000000) to a trace list and reports the time per\n"
              "  Add and the bytes per entry (resident memory and allocator growth); then\n"
              "  enters N frames spread over K identities (default 200) into a frame table\n"
              "  and reports the time per Update.");
}

long ResidentBytes() {
    long pages = 0;
    long resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

long AllocatedBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>(info.uordblks + info.hblkhd);
}

TCanFrame FrameNumber(unsigned long n, unsigned long keys) {
    TCanFrame frame;
    frame.Id = static_cast<std::uint32_t>((n * 2654435761ul) % keys);
    frame.Len = 8;
    frame.IsStandard = (n & 1) != 0;
    frame.TimeStamp = static_cast<std::uint32_t>(n / 8);
    frame.Data.fill(static_cast<std::uint8_t>(n));
    return frame;
}

double NanosecondsPer(Clock::duration elapsed, unsigned long count) {
    return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(count);
}

void BenchTraceList(unsigned long entries) {
    const long residentBefore = ResidentBytes();
    const long allocatedBefore = AllocatedBytes();
    TCorvexTraceList list;
    const auto start = Clock::now();
    for (unsigned long n = 0; n < entries; ++n)
        list.Add(FrameNumber(n, 2048), (n & 3) == 0);
    const auto elapsed = Clock::now() - start;
    const long residentGrowth = ResidentBytes() - residentBefore;
    const long allocatedGrowth = AllocatedBytes() - allocatedBefore;
    std::printf("TCorvexTraceList::Add     %lu entries: %.1f ns per frame\n", entries,
                NanosecondsPer(elapsed, entries));
    std::printf("trace entry size          %zu bytes (sizeof)\n", sizeof(TCorvexTraceItem));
    std::printf("bytes per trace entry     %.2f (resident growth %ld bytes)\n",
                static_cast<double>(residentGrowth) / static_cast<double>(entries), residentGrowth);
    std::printf("bytes per trace entry     %.2f (allocator growth %ld bytes)\n",
                static_cast<double>(allocatedGrowth) / static_cast<double>(entries),
                allocatedGrowth);
    if (list.Count() != static_cast<int>(entries))
        std::printf("unexpected count %d\n", list.Count());
}

void BenchFrameTable(unsigned long frames, unsigned long keys) {
    TCorvexTable table;
    unsigned long changes = 0;
    unsigned long inserts = 0;
    unsigned long framesAtLastInsert = 0;
    Clock::time_point lastInsert{};
    unsigned long n = 0;
    table.SetOnItemChanged([&](TCorvexTableItem*, int, bool inserted) {
        ++changes;
        if (inserted) {
            ++inserts;
            framesAtLastInsert = n + 1;
            lastInsert = Clock::now();
        }
    });
    const auto start = Clock::now();
    for (; n < frames; ++n)
        table.Update(FrameNumber(n, keys));
    const auto end = Clock::now();
    std::printf(
        "TCorvexTable::Update      %lu frames over %d rows: %.1f ns per frame (%lu events)\n",
        frames, table.Count(), NanosecondsPer(end - start, frames), changes);
    // Until the last row was new the table grows; afterwards every frame
    // finds its row among all of them.
    std::printf("  while rows are added     %lu frames, %lu of them new rows: %.1f ns per frame\n",
                framesAtLastInsert, inserts,
                NanosecondsPer(lastInsert - start, framesAtLastInsert));
    if (frames > framesAtLastInsert)
        std::printf("  with all %d rows          %lu frames: %.1f ns per frame\n", table.Count(),
                    frames - framesAtLastInsert,
                    NanosecondsPer(end - lastInsert, frames - framesAtLastInsert));
}

} // namespace

int main(int argc, char** argv) {
    unsigned long entries = 10000000;
    unsigned long keys = 200;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        }
        if (arg == "--entries" && i + 1 < argc)
            entries = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--keys" && i + 1 < argc)
            keys = std::strtoul(argv[++i], nullptr, 10);
        else {
            PrintHelp();
            return 2;
        }
    }
    if (entries == 0 || keys == 0) {
        PrintHelp();
        return 2;
    }
    BenchTraceList(entries);
    BenchFrameTable(entries, keys);
    return 0;
}
