#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "views/trace_item.h"

class TCanFrame;

// A channel's running record of received and transmitted frames, unbounded
// until cleared unless a limit keeps only the newest entries.
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
//  - A limit hides every entry older than the newest Limit(); Trim, on the
//    reader thread like Clear, frees the chunks that hold only hidden
//    entries. Indexes stay those of the whole record: First() is the oldest
//    entry still kept.
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
    // One past the newest entry: the number of entries added since the last Clear.
    int Count() const;
    // The entry at the index, or nullptr outside First()..Count()-1.
    const TCorvexTraceItem* Items(int index) const;
    // The entry at the index as long as Trim has not freed it, hidden by the
    // limit or not: for a reader that must see every entry, as a recording.
    const TCorvexTraceItem* Stored(int index) const;
    // Wall-clock microseconds when the list was created or last cleared: the
    // start that "seconds since start" times count from. Set and read on the
    // reader thread.
    std::int64_t StartUs() const { return FStartUs; }

    // Keeps only the newest `limit` entries; 0 keeps all. Reader thread.
    void SetLimit(std::size_t limit);
    std::size_t Limit() const { return FLimit; }
    // The oldest entry kept; 0 without a limit. Reader thread.
    int First() const;
    // Frees the memory of entries older than First(), but none from `keepFrom`
    // on, which a reader still has to see. Reader thread.
    void Trim(int keepFrom = std::numeric_limits<int>::max());
    // Bytes the entries take now. Reader thread.
    std::size_t MemoryBytes() const;

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
    mutable std::mutex FAppendLock; // serialises Add, Clear and Trim
    std::atomic<std::size_t> FCount{0};
    std::atomic<Directory*> FDirectory{nullptr};
    // Guarded by FAppendLock: every chunk and directory ever allocated since
    // the last Clear, freed by Clear and by destruction.
    // Oldest first; Trim frees from the front.
    std::deque<std::unique_ptr<Chunk>> FChunks;
    std::vector<std::unique_ptr<Directory>> FDirectories;
    // Reader thread only.
    std::size_t FLimit = 0;
    std::size_t FFreedBelow = 0; // entries below this index have been freed
};
