#include "game/data/qv3ScenarioData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "game/data/qv3DataError.h"

namespace qv {

namespace {

constexpr std::size_t kBackgroundSize = 20;
constexpr std::size_t kItemSize = 40;
// N x 3200 must stay well inside int32.
constexpr std::size_t kMaxBackgrounds = 100000;
constexpr std::size_t kMaxItems = 1000000;
// Decor coordinates beyond this lie far outside any scenery's bounds.
constexpr std::int32_t kMaxCoordinate = 1000000000;

// The bounds extents are clipped to, in tenths of scenery units.
constexpr std::int32_t kClipLeft = -20000;
constexpr std::int32_t kClipRight = 20000;
constexpr std::int32_t kClipTop = 0;
constexpr std::int32_t kClipBottom = 600;

// Truncated toward zero, then divided by 10 (toward zero); values far
// outside the clip bounds are held at a limit first.
std::int32_t TruncDiv10(double v) {
    if (!(v > -1.0e9)) v = -1.0e9;  // also NaN
    if (v > 1.0e9) v = 1.0e9;
    return static_cast<std::int32_t>(v) / 10;
}

void ReadColors(TBinaryReader& in, std::array<std::uint32_t, 4>& colors) {
    for (std::uint32_t& c : colors) c = in.ReadU32();
}

void WriteColors(TBinaryWriter& out, const std::array<std::uint32_t, 4>& colors) {
    for (std::uint32_t c : colors) out.WriteU32(c);
}

}  // namespace

std::vector<std::uint8_t> WriteScenarioData(const TSceneryFile& scenery) {
    TBinaryWriter out;
    out.WriteString(kSceneryDataMagic);
    out.WriteI32(static_cast<std::int32_t>(scenery.Backgrounds.size()));
    for (const TBackgroundEntry& b : scenery.Backgrounds) {
        out.WriteI32(b.Image);
        WriteColors(out, b.Colors);
    }
    for (const auto& layer : scenery.Layers) {
        out.WriteI32(static_cast<std::int32_t>(layer.size()));
        for (const TDecorItem& item : layer) {
            out.WriteI32(item.SpriteId);
            out.WriteI32(item.X);
            out.WriteI32(item.Y);
            out.WriteF32(item.ScaleX);
            out.WriteF32(item.ScaleY);
            out.WriteF32(item.Rotation);
            WriteColors(out, item.Colors);
        }
    }
    return out.Take();
}

TDecorExtent ComputeDecorExtent(const TDecorItem& item, const TSpriteBoundary& sprite) {
    const auto width = static_cast<float>(static_cast<std::int64_t>(sprite.Right) - sprite.Left);
    const auto height = static_cast<float>(static_cast<std::int64_t>(sprite.Bottom) - sprite.Top);
    const TPointF size{width * item.ScaleX, height * item.ScaleY};
    const auto corners = ComputeQuadVertices(size, TPointF{0.0f, 0.0f}, TPointF{0.0f, 0.0f}, item.Rotation);
    // The polygon of the corners as the scenery sees it: x runs against the
    // scroll, both axes in tenths.
    std::int32_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const std::int32_t x = TruncDiv10(static_cast<double>(item.X) - static_cast<double>(corners[i].X));
        const std::int32_t y = TruncDiv10(static_cast<double>(corners[i].Y) + static_cast<double>(item.Y));
        if (i == 0) {
            minX = maxX = x;
            minY = maxY = y;
        } else {
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    // The bounding box of the polygon within the clip bounds; a polygon
    // without area, or one wholly outside, covers nothing.
    const std::int32_t left = std::max(minX, kClipLeft);
    const std::int32_t right = std::min(maxX, kClipRight);
    const std::int32_t top = std::max(minY, kClipTop);
    const std::int32_t bottom = std::min(maxY, kClipBottom);
    TDecorExtent extent;
    if (left >= right || top >= bottom) return extent;
    extent.Empty = false;
    extent.Left = left * 10;
    extent.Right = right * 10;
    return extent;
}

TScenarioDataReader::TScenarioDataReader(std::span<const std::uint8_t> data, const TSpriteBoundaries& boundaries) {
    TBinaryReader in(data);
    if (in.Remaining() < 5 || std::memcmp(in.ReadSpan(5).data(), kSceneryDataMagic, 5) != 0)
        throw EDataError("Invalid level data file");
    const std::int32_t n = in.ReadI32();
    // Without a background the strip has no length and cannot loop.
    if (n < 1) throw EDataError("Invalid scenery data: " + std::to_string(n) + " backgrounds");
    const std::size_t count = in.CheckCount(static_cast<std::uint64_t>(n), kBackgroundSize, kMaxBackgrounds);
    backgrounds_.resize(count);
    for (TBackgroundEntry& b : backgrounds_) {
        b.Image = in.ReadI32();
        if (b.Image < 0 || b.Image >= kBackgroundImageCount)
            throw EDataError("Invalid scenery data: background image " + std::to_string(b.Image));
        ReadColors(in, b.Colors);
    }
    backgrounds_.push_back(backgrounds_.front());
    loopStart_ = (n - 1) * kBackgroundSpan;
    loopLength_ = n * kBackgroundSpan;
    for (int layer = 0; layer < kSceneryLayerCount; ++layer) ReadLayer(in, layer, boundaries);
}

void TScenarioDataReader::ReadLayer(TBinaryReader& in, int index, const TSpriteBoundaries& boundaries) {
    TScenarioLayer& layer = layers_[static_cast<std::size_t>(index)];
    const std::int32_t k = in.ReadI32();
    if (k < 0) throw EDataError("Invalid scenery data: " + std::to_string(k) + " decor items");
    const std::size_t count = in.CheckCount(static_cast<std::uint64_t>(k), kItemSize, kMaxItems);
    layer.Items.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        TDecorItem item;
        item.SpriteId = in.ReadI32();
        item.X = in.ReadI32();
        item.Y = in.ReadI32();
        item.ScaleX = in.ReadF32();
        item.ScaleY = in.ReadF32();
        item.Rotation = in.ReadF32();
        ReadColors(in, item.Colors);
        if (!std::isfinite(item.ScaleX) || !std::isfinite(item.ScaleY) || !std::isfinite(item.Rotation))
            throw EDataError("Invalid scenery data: decor item " + std::to_string(i) + " is not a number");
        if (item.X < -kMaxCoordinate || item.X > kMaxCoordinate || item.Y < -kMaxCoordinate || item.Y > kMaxCoordinate)
            throw EDataError("Invalid scenery data: decor item " + std::to_string(i) + " out of range");
        AddItem(layer, item, boundaries);
    }
    // The seam: the items that are in view at the start of the strip appear
    // once more after its end, so the loop shows no gap.
    std::int32_t highest = -1;
    for (int i = 0; i < layer.LeftEdges.Count() && layer.LeftEdges.Keys(i) <= kBackgroundWidth; ++i)
        highest = std::max(highest, layer.LeftEdges.Values(i));
    const auto shift = static_cast<std::int32_t>(static_cast<double>(loopLength_) /
                                                 kSceneryLayerFactors[static_cast<std::size_t>(index)]);
    for (std::int32_t i = 0; i <= highest; ++i) {
        TDecorItem copy = layer.Items[static_cast<std::size_t>(i)];
        copy.X += shift;
        AddItem(layer, copy, boundaries);
    }
}

void TScenarioDataReader::AddItem(TScenarioLayer& layer, const TDecorItem& item, const TSpriteBoundaries& boundaries) {
    TSpriteBoundary sprite;
    boundaries.Lookup(item.SpriteId, sprite);
    const auto index = static_cast<std::int32_t>(layer.Items.size());
    layer.Items.push_back(item);
    const TDecorExtent extent = ComputeDecorExtent(item, sprite);
    if (extent.Empty) return;
    layer.LeftEdges.Add(extent.Left, index);
    layer.RightEdges.Add(extent.Right, index);
}

void TScenarioDataReader::CheckLayer(int layer) {
    if (layer < 0 || layer >= kSceneryLayerCount) throw EListError("Index out of bounds");
}

void TScenarioDataReader::ResetView() {
    for (TScenarioLayer& layer : layers_) {
        layer.Active.clear();
        layer.LeftCursor = 0;
        layer.RightCursor = 0;
    }
}

void TScenarioDataReader::SetPosition(float position) {
    if (!std::isfinite(position) || position == position_) return;
    if (position < position_) ResetView();
    if (position < 0.0f || position >= static_cast<float>(loopLength_)) {
        const double length = loopLength_;
        double wrapped = std::fmod(static_cast<double>(position), length);
        if (wrapped < 0) wrapped += length;
        position = static_cast<float>(wrapped);
        if (!(position < static_cast<float>(loopLength_))) position = 0.0f;
        ResetView();
    }
    position_ = position;
    dirty_ = true;
}

void TScenarioDataReader::Update() {
    if (!dirty_) return;
    dirty_ = false;
    const auto units = static_cast<std::int32_t>(position_);  // 0 <= position < loop length
    backgroundIndex_ = units / kBackgroundSpan;
    backgroundOffset_ = (units % kBackgroundSpan) * kBackgroundWidth / kBackgroundSpan;
    for (std::size_t i = 0; i < layers_.size(); ++i) {
        TScenarioLayer& layer = layers_[i];
        const auto p = static_cast<std::int32_t>(static_cast<double>(units) / kSceneryLayerFactors[i]);
        layerPositions_[i] = p;
        while (layer.LeftCursor < layer.LeftEdges.Count() &&
               layer.LeftEdges.Keys(layer.LeftCursor) < p + kBackgroundWidth) {
            const std::int32_t item = layer.LeftEdges.Values(layer.LeftCursor++);
            const auto at = std::lower_bound(layer.Active.begin(), layer.Active.end(), item);
            if (at == layer.Active.end() || *at != item) layer.Active.insert(at, item);
        }
        while (layer.RightCursor < layer.RightEdges.Count() && layer.RightEdges.Keys(layer.RightCursor) < p) {
            const std::int32_t item = layer.RightEdges.Values(layer.RightCursor++);
            const auto at = std::lower_bound(layer.Active.begin(), layer.Active.end(), item);
            if (at != layer.Active.end() && *at == item) layer.Active.erase(at);
        }
    }
}

TBackgroundView TScenarioDataReader::GetBackgrounds() {
    Update();
    TBackgroundView view;
    view.Offset = backgroundOffset_;
    view.Current = &backgrounds_[static_cast<std::size_t>(backgroundIndex_)];
    view.Next = &backgrounds_[static_cast<std::size_t>(backgroundIndex_) + 1];
    return view;
}

const std::vector<std::int32_t>& TScenarioDataReader::ActiveItems(int layer) {
    CheckLayer(layer);
    Update();
    return layers_[static_cast<std::size_t>(layer)].Active;
}

std::int32_t TScenarioDataReader::LayerPosition(int layer) {
    CheckLayer(layer);
    Update();
    return layerPositions_[static_cast<std::size_t>(layer)];
}

const TScenarioLayer& TScenarioDataReader::Layer(int layer) const {
    CheckLayer(layer);
    return layers_[static_cast<std::size_t>(layer)];
}

}  // namespace qv
