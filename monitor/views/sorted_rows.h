#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Rows in ascending order of a 32-bit key, kept in chunks of a few hundred
// rows: inserting a row moves the rows of one chunk, not every later row, so
// a table with 100,000 identifiers takes a new one as fast as a small table.
// Lookup by key and by index costs O(log n) while the chunks' first indexes
// are current; an insert makes them stale from its chunk on and the next
// lookup renews them, one step per chunk.
//
// Not thread-safe: the owner serialises every call, const ones included
// (they renew the chunk indexes).
template <class T, class KeyOf> class TSortedRows {
public:
    // A chunk splits in two when it grows past twice this many rows.
    static constexpr std::size_t ChunkRows = 256;

    std::size_t size() const { return FSize; }
    bool empty() const { return FSize == 0; }

    const T& operator[](std::size_t index) const {
        const auto [chunk, offset] = Locate(index);
        return FChunks[chunk].Rows[offset];
    }
    T& operator[](std::size_t index) {
        const auto [chunk, offset] = Locate(index);
        return FChunks[chunk].Rows[offset];
    }

    // The row with the key, or nullptr; `index` is its index or the index it
    // would take.
    T* Find(std::uint32_t key, std::size_t& index) {
        const auto [chunk, offset] = Place(key);
        index = Start(chunk) + offset;
        if (chunk < FChunks.size() && offset < FChunks[chunk].Keys.size() &&
            FChunks[chunk].Keys[offset] == key)
            return &FChunks[chunk].Rows[offset];
        return nullptr;
    }
    const T* Find(std::uint32_t key, std::size_t& index) const {
        return const_cast<TSortedRows*>(this)->Find(key, index);
    }

    // Inserts a row whose key is not there yet; `index` becomes its index.
    // The reference is valid until the next insert.
    T& Insert(T row, std::size_t& index) {
        const std::uint32_t key = KeyOf()(row);
        if (FChunks.empty()) {
            FChunks.emplace_back();
            FLastKeys.push_back(key);
        }
        auto [chunk, offset] = Place(key);
        if (chunk == FChunks.size()) { // above every key: the end of the last chunk
            chunk = FChunks.size() - 1;
            offset = FChunks[chunk].Keys.size();
        }
        index = Start(chunk) + offset;
        TChunk& target = FChunks[chunk];
        const auto at = static_cast<std::ptrdiff_t>(offset);
        target.Keys.insert(target.Keys.begin() + at, key);
        target.Rows.insert(target.Rows.begin() + at, std::move(row));
        FLastKeys[chunk] = target.Keys.back();
        ++FSize;
        FStartsValid = std::min(FStartsValid, chunk + 1);
        if (target.Keys.size() > 2 * ChunkRows) {
            Split(chunk);
            if (offset >= ChunkRows)
                return FChunks[chunk + 1].Rows[offset - ChunkRows];
        }
        return FChunks[chunk].Rows[offset];
    }

    // Replaces every row by rows already in ascending key order.
    void Assign(std::vector<T> sorted) {
        Clear();
        for (std::size_t first = 0; first < sorted.size(); first += ChunkRows) {
            const std::size_t last = std::min(sorted.size(), first + ChunkRows);
            TChunk& chunk = FChunks.emplace_back();
            for (std::size_t i = first; i < last; ++i) {
                chunk.Keys.push_back(KeyOf()(sorted[i]));
                chunk.Rows.push_back(std::move(sorted[i]));
            }
            FLastKeys.push_back(chunk.Keys.back());
        }
        FSize = sorted.size();
    }

    void Clear() {
        FChunks.clear();
        FLastKeys.clear();
        FStarts.clear();
        FStartsValid = 0;
        FSize = 0;
    }

private:
    // Rows and their keys side by side: a search reads only the keys.
    struct TChunk {
        std::vector<std::uint32_t> Keys;
        std::vector<T> Rows;
    };

    // The chunk holding the key or where it belongs (FChunks.size() when it
    // is above every key), and the place in that chunk.
    std::pair<std::size_t, std::size_t> Place(std::uint32_t key) const {
        const auto chunk = static_cast<std::size_t>(
            std::lower_bound(FLastKeys.begin(), FLastKeys.end(), key) - FLastKeys.begin());
        if (chunk == FChunks.size())
            return {chunk, 0};
        const std::vector<std::uint32_t>& keys = FChunks[chunk].Keys;
        return {chunk, static_cast<std::size_t>(std::lower_bound(keys.begin(), keys.end(), key) -
                                                keys.begin())};
    }

    std::pair<std::size_t, std::size_t> Locate(std::size_t index) const {
        RenewStarts(FChunks.size());
        const auto after = std::upper_bound(FStarts.begin(), FStarts.end(), index);
        const auto chunk = static_cast<std::size_t>(after - FStarts.begin()) - 1;
        return {chunk, index - FStarts[chunk]};
    }

    // Index of the first row of the chunk (FSize for FChunks.size()).
    std::size_t Start(std::size_t chunk) const {
        if (chunk >= FChunks.size())
            return FSize;
        RenewStarts(chunk + 1);
        return FStarts[chunk];
    }

    // Makes the first indexes of chunks below `count` current.
    void RenewStarts(std::size_t count) const {
        FStarts.resize(FChunks.size());
        for (; FStartsValid < count; ++FStartsValid) {
            const std::size_t i = FStartsValid;
            FStarts[i] = i == 0 ? 0 : FStarts[i - 1] + FChunks[i - 1].Keys.size();
        }
    }

    void Split(std::size_t chunk) {
        TChunk upper;
        TChunk& lower = FChunks[chunk];
        const auto half = static_cast<std::ptrdiff_t>(ChunkRows);
        upper.Keys.assign(lower.Keys.begin() + half, lower.Keys.end());
        upper.Rows.assign(std::make_move_iterator(lower.Rows.begin() + half),
                          std::make_move_iterator(lower.Rows.end()));
        lower.Keys.erase(lower.Keys.begin() + half, lower.Keys.end());
        lower.Rows.erase(lower.Rows.begin() + half, lower.Rows.end());
        FLastKeys[chunk] = lower.Keys.back();
        const std::uint32_t upperLast = upper.Keys.back();
        FChunks.insert(FChunks.begin() + static_cast<std::ptrdiff_t>(chunk + 1), std::move(upper));
        FLastKeys.insert(FLastKeys.begin() + static_cast<std::ptrdiff_t>(chunk + 1), upperLast);
        FStartsValid = std::min(FStartsValid, chunk + 1);
    }

    std::vector<TChunk> FChunks;              // never empty ones
    std::vector<std::uint32_t> FLastKeys;     // per chunk, its last row's key
    mutable std::vector<std::size_t> FStarts; // per chunk, its first row's index
    mutable std::size_t FStartsValid = 0;     // FStarts below this are current
    std::size_t FSize = 0;
};
