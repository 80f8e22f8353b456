// Two small geometric helpers of the renderer and the scenery readers: a
// list of integer pairs kept sorted by key, and the corner formula of a
// scaled, rotated quad.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace qv {

struct TIntPair {
    std::int32_t Key;
    std::int32_t Value;
};

// Pairs sorted by key (signed); entries with equal keys stay in the order in
// which they were added.
class TIntSortedList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    // The key or value at an index; outside 0..Count-1 throws EListError
    // "Index out of bounds".
    std::int32_t Keys(int index) const;
    std::int32_t Values(int index) const;

    // The lowest index whose key is at least `key` (Count when none); true
    // when that entry's key equals it.
    bool Find(std::int32_t key, int& index) const;
    // Inserts after every entry with a key up to `key`; returns the index.
    int Add(std::int32_t key, std::int32_t value);
    // Removes the entry at `index` (EListError outside 0..Count-1).
    void Delete(int index);
    // Removes the first entry holding `key`; an absent key changes nothing.
    void Remove(std::int32_t key);
    // Empties the list; its storage is kept.
    void Clear() { items_.clear(); }

private:
    void Check(int index) const;
    std::vector<TIntPair> items_;
};

struct TPointF {
    float X = 0;
    float Y = 0;
};

// The four corners of a quad of `size` whose reference point `hotspot`
// (fractions of the size) sits at `position`, rotated by `angle` radians
// about it: top left, top right, bottom right, bottom left before rotation.
// All arithmetic is in 32-bit floats.
std::array<TPointF, 4> ComputeQuadVertices(TPointF size, TPointF hotspot, TPointF position, float angle);
// The same for a unit quad with its reference point at the top left.
std::array<TPointF, 4> ComputeQuadVertices(TPointF position, float angle);

}  // namespace qv
