#include "foundation/zkGeometry.h"

#include <algorithm>
#include <cmath>

#include "foundation/Exceptions.h"

namespace qv {

void TIntSortedList::Check(int index) const {
    if (index < 0 || index >= Count()) throw EListError("Index out of bounds");
}

std::int32_t TIntSortedList::Keys(int index) const {
    Check(index);
    return items_[static_cast<std::size_t>(index)].Key;
}

std::int32_t TIntSortedList::Values(int index) const {
    Check(index);
    return items_[static_cast<std::size_t>(index)].Value;
}

bool TIntSortedList::Find(std::int32_t key, int& index) const {
    const auto it = std::lower_bound(items_.begin(), items_.end(), key,
                                     [](const TIntPair& p, std::int32_t k) { return p.Key < k; });
    index = static_cast<int>(it - items_.begin());
    return it != items_.end() && it->Key == key;
}

int TIntSortedList::Add(std::int32_t key, std::int32_t value) {
    // After every entry with a key up to `key`: the upper bound, which needs
    // no key + 1 and so holds for the largest key as well.
    const auto it = std::upper_bound(items_.begin(), items_.end(), key,
                                     [](std::int32_t k, const TIntPair& p) { return k < p.Key; });
    const auto inserted = items_.insert(it, TIntPair{key, value});
    return static_cast<int>(inserted - items_.begin());
}

void TIntSortedList::Delete(int index) {
    Check(index);
    items_.erase(items_.begin() + index);
}

void TIntSortedList::Remove(std::int32_t key) {
    int index = 0;
    if (Find(key, index)) Delete(index);
}

std::array<TPointF, 4> ComputeQuadVertices(TPointF size, TPointF hotspot, TPointF position, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float w = size.X;
    const float h = size.Y;
    // R(x, y) = (x cos - y sin, x sin + y cos)
    auto rotate = [c, s](float x, float y) { return TPointF{x * c - y * s, x * s + y * c}; };
    const TPointF offset = rotate(-hotspot.X * w, -hotspot.Y * h);
    const TPointF c0{position.X + offset.X, position.Y + offset.Y};
    const TPointF right = rotate(w, 0.0f);
    const TPointF diagonal = rotate(w, h);
    const TPointF down = rotate(0.0f, h);
    return {c0, TPointF{c0.X + right.X, c0.Y + right.Y}, TPointF{c0.X + diagonal.X, c0.Y + diagonal.Y},
            TPointF{c0.X + down.X, c0.Y + down.Y}};
}

std::array<TPointF, 4> ComputeQuadVertices(TPointF position, float angle) {
    return ComputeQuadVertices(TPointF{1.0f, 1.0f}, TPointF{0.0f, 0.0f}, position, angle);
}

}  // namespace qv
