#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "views/trace_item.h"

class TCanFrame;

// A channel's running record of received and transmitted frames, unbounded
// until cleared.
//
// Shared: Add runs on the channel's receive and send threads; Count, Items
// (and the entries' GetText) and Clear run on one reader thread, the
// window's. Safety:
//  - Entries live in fixed-size chunks that never move once allocated; a
//    chunk directory grows by copying and the old copies stay alive until the
//    next Clear, so a reader never sees memory move under it.
//  - Add takes FAppendLock only to place one entry (and, once per chunk, to
//    allocate a chunk), then publishes the new count with a release store.
//  - Count and Items take no lock: they read the published count (acquire)
//    and then only entries below it, which are complete and immutable.
//  - Clear takes FAppendLock, so it never meets an Add half way, and frees
//    the chunks after releasing it. Clear runs on the reader thread, so no read is in progress;
//    entry pointers obtained before a Clear are invalid after it, while an
//    index held across a Clear simply names a newer entry or none.
class TCorvexTraceList {
public:
    // Entries per chunk: 8191 * 32 bytes plus the allocator's header fit in
    // 64 pages, so a chunk wastes next to nothing.
    static constexpr std::size_t ChunkSize = 8191;
    // The list stops growing (and drops further frames) at this many entries,
    // so that every index fits the signed count that readers use.
    static constexpr std::size_t MaxCount = 0x7FFFFFFF;

    TCorvexTraceList();
    ~TCorvexTraceList();
    TCorvexTraceList(const TCorvexTraceList&) = delete;
    TCorvexTraceList& operator=(const TCorvexTraceList&) = delete;

    void Add(const TCanFrame& frame, bool outgoing);
    void Clear();
    int Count() const;
    // The entry at the index (0 is the oldest), or nullptr outside 0..Count()-1.
    const TCorvexTraceItem* Items(int index) const;
    // Wall-clock microseconds when the list was created or last cleared: the
    // start that "seconds since start" times count from. Set and read on the
    // reader thread.
    std::int64_t StartUs() const { return FStartUs; }

private:
    struct Chunk {
        TCorvexTraceItem Entries[ChunkSize];
    };
    struct Directory {
        explicit Directory(std::size_t capacity);
        std::size_t Capacity;
        std::unique_ptr<std::atomic<Chunk*>[]> Chunks;
    };

    Chunk* ChunkFor(std::size_t index);

    std::int64_t FStartUs;
    std::mutex FAppendLock; // serialises Add and Clear
    std::atomic<std::size_t> FCount{0};
    std::atomic<Directory*> FDirectory{nullptr};
    // Guarded by FAppendLock: every chunk and directory ever allocated since
    // the last Clear, freed by Clear and by destruction.
    std::vector<std::unique_ptr<Chunk>> FChunks;
    std::vector<std::unique_ptr<Directory>> FDirectories;
};
