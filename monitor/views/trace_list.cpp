#include "views/trace_list.h"

#include <algorithm>
#include <iterator>

#include "model/can_frame.h"
#include "platform/wall_clock.h"

namespace {

constexpr std::size_t FirstDirectoryCapacity = 64;

} // namespace

TCorvexTraceList::Directory::Directory(std::size_t capacity)
    : Capacity(capacity), Chunks(std::make_unique<std::atomic<Chunk*>[]>(capacity)) {
    for (std::size_t i = 0; i < capacity; ++i)
        Chunks[i].store(nullptr, std::memory_order_relaxed);
}

TCorvexTraceList::TCorvexTraceList() : FStartUs(platform::WallClockUs()) {}

TCorvexTraceList::~TCorvexTraceList() = default;

void TCorvexTraceList::Add(const TCanFrame& frame, bool outgoing) {
    std::lock_guard<std::mutex> lock(FAppendLock);
    const std::size_t index = FCount.load(std::memory_order_relaxed);
    if (index >= MaxCount)
        return;
    Chunk* chunk = ChunkFor(index);
    chunk->Entries[index % ChunkSize] = TCorvexTraceItem(frame, outgoing);
    FCount.store(index + 1, std::memory_order_release);
}

// The chunk that holds the index, allocating it (and growing the directory)
// when the index is the first of a new chunk. Called under FAppendLock.
TCorvexTraceList::Chunk* TCorvexTraceList::ChunkFor(std::size_t index) {
    const std::size_t slot = index / ChunkSize;
    Directory* directory = FDirectory.load(std::memory_order_relaxed);
    if (directory != nullptr && slot < directory->Capacity) {
        Chunk* chunk = directory->Chunks[slot].load(std::memory_order_relaxed);
        if (chunk != nullptr)
            return chunk;
    }
    if (directory == nullptr || slot >= directory->Capacity) {
        // Readers may still walk the old directory: it stays alive (in
        // FDirectories) until the next Clear, which runs on the reader thread.
        const std::size_t capacity =
            directory == nullptr ? FirstDirectoryCapacity : directory->Capacity * 2;
        auto grown = std::make_unique<Directory>(capacity);
        if (directory != nullptr)
            for (std::size_t i = 0; i < directory->Capacity; ++i)
                grown->Chunks[i].store(directory->Chunks[i].load(std::memory_order_relaxed),
                                       std::memory_order_relaxed);
        directory = grown.get();
        FDirectories.push_back(std::move(grown));
        FDirectory.store(directory, std::memory_order_release);
    }
    FChunks.push_back(std::make_unique_for_overwrite<Chunk>());
    Chunk* chunk = FChunks.back().get();
    directory->Chunks[slot].store(chunk, std::memory_order_release);
    return chunk;
}

// The chunks are freed after the lock is released: freeing a long trace takes
// tens of milliseconds, and the receive thread must not wait for that.
void TCorvexTraceList::Clear() {
    std::deque<std::unique_ptr<Chunk>> chunks;
    std::vector<std::unique_ptr<Directory>> directories;
    {
        std::lock_guard<std::mutex> lock(FAppendLock);
        FCount.store(0, std::memory_order_release);
        FDirectory.store(nullptr, std::memory_order_release);
        chunks.swap(FChunks);
        directories.swap(FDirectories);
    }
    FStartUs = platform::WallClockUs();
    FFreedBelow = 0;
}

void TCorvexTraceList::SetLimit(std::size_t limit) {
    FLimit = limit;
}

int TCorvexTraceList::First() const {
    const std::size_t count = FCount.load(std::memory_order_acquire);
    const std::size_t kept = FLimit != 0 && count > FLimit ? count - FLimit : 0;
    return static_cast<int>(std::max(kept, FFreedBelow));
}

// Only whole chunks below First() go; the directory that the writer uses
// stays, older copies go with them since no read is in progress.
void TCorvexTraceList::Trim(int keepFrom) {
    const std::size_t firstSlot =
        static_cast<std::size_t>(std::max(0, std::min(First(), keepFrom))) / ChunkSize;
    const std::size_t freedSlots = FFreedBelow / ChunkSize;
    if (firstSlot <= freedSlots)
        return;
    std::vector<std::unique_ptr<Chunk>> chunks;
    std::vector<std::unique_ptr<Directory>> directories;
    {
        std::lock_guard<std::mutex> lock(FAppendLock);
        Directory* directory = FDirectory.load(std::memory_order_relaxed);
        for (std::size_t slot = freedSlots; slot < firstSlot; ++slot) {
            directory->Chunks[slot].store(nullptr, std::memory_order_relaxed);
            chunks.push_back(std::move(FChunks.front()));
            FChunks.pop_front();
        }
        if (FDirectories.size() > 1) {
            directories.assign(std::make_move_iterator(FDirectories.begin()),
                               std::make_move_iterator(FDirectories.end() - 1));
            FDirectories.erase(FDirectories.begin(), FDirectories.end() - 1);
        }
    }
    FFreedBelow = firstSlot * ChunkSize;
}

std::size_t TCorvexTraceList::MemoryBytes() const {
    std::lock_guard<std::mutex> lock(FAppendLock);
    std::size_t bytes = FChunks.size() * sizeof(Chunk);
    for (const auto& directory : FDirectories)
        bytes += directory->Capacity * sizeof(std::atomic<Chunk*>);
    return bytes;
}

int TCorvexTraceList::Count() const {
    return static_cast<int>(FCount.load(std::memory_order_acquire));
}

const TCorvexTraceItem* TCorvexTraceList::Items(int index) const {
    return index < First() ? nullptr : Stored(index);
}

const TCorvexTraceItem* TCorvexTraceList::Stored(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) < FFreedBelow)
        return nullptr;
    const auto position = static_cast<std::size_t>(index);
    // The acquire load of the count makes the entry, its chunk and a
    // directory that holds the chunk visible; entries below it never change.
    if (position >= FCount.load(std::memory_order_acquire))
        return nullptr;
    const Directory* directory = FDirectory.load(std::memory_order_acquire);
    const Chunk* chunk = directory->Chunks[position / ChunkSize].load(std::memory_order_acquire);
    return &chunk->Entries[position % ChunkSize];
}
