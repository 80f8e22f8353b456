// Scenery data ("1.scn"): a looping strip of full-screen backgrounds with two
// layers of decor sprites in front of it, and the view of it at a scroll
// position: which backgrounds to draw where, which decor items are in view.
//
// File, little-endian:
//   "zkq3s"; int32 N backgrounds; N x 20 bytes {int32 background image,
//   4 x uint32 corner colours (ARGB)}; then for layer 0 and layer 1: int32
//   item count k and k x 40 bytes {int32 decor sprite id, int32 x, int32 y,
//   float x scale, float y scale, float rotation, 4 x uint32 corner colours}.
//
// One background spans 3200 scenery units and moves 800 pixels over them;
// layer 1 moves 1.7 times slower than layer 0.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/BinaryIO.h"
#include "game/data/qv3SpriteBoundaries.h"
#include "foundation/zkGeometry.h"

namespace qv {

inline constexpr char kSceneryDataMagic[] = "zkq3s";
inline constexpr std::int32_t kBackgroundSpan = 3200;
inline constexpr std::int32_t kBackgroundWidth = 800;
// Background images a scenery may name: "Back1".."Back3" of the image set.
inline constexpr std::int32_t kBackgroundImageCount = 3;
inline constexpr int kSceneryLayerCount = 2;
inline constexpr std::array<double, kSceneryLayerCount> kSceneryLayerFactors = {1.0, 1.7};

struct TBackgroundEntry {
    std::int32_t Image = 0;
    std::array<std::uint32_t, 4> Colors{};
};

struct TDecorItem {
    std::int32_t SpriteId = 0;  // row of the boundaries file
    std::int32_t X = 0;
    std::int32_t Y = 0;
    float ScaleX = 1.0f;
    float ScaleY = 1.0f;
    float Rotation = 0.0f;
    std::array<std::uint32_t, 4> Colors{};
};

// A whole scenery file, as the authoring side writes it.
struct TSceneryFile {
    std::vector<TBackgroundEntry> Backgrounds;
    std::array<std::vector<TDecorItem>, kSceneryLayerCount> Layers;
};

std::vector<std::uint8_t> WriteScenarioData(const TSceneryFile& scenery);

// The horizontal extent of a decor item in scenery units, from its sprite's
// rectangle, scales and rotation. Empty when the item lies wholly outside
// the scenery's bounds (it is then never in view).
struct TDecorExtent {
    bool Empty = true;
    std::int32_t Left = 0;
    std::int32_t Right = 0;
};
TDecorExtent ComputeDecorExtent(const TDecorItem& item, const TSpriteBoundary& sprite);

// The decor items of one layer, with their edges in scroll order.
class TScenarioLayer {
public:
    std::vector<TDecorItem> Items;
    TIntSortedList LeftEdges;   // (left edge, item index)
    TIntSortedList RightEdges;  // (right edge, item index)
    std::vector<std::int32_t> Active;  // item indexes in view, ascending
    int LeftCursor = 0;
    int RightCursor = 0;
};

struct TBackgroundView {
    std::int32_t Offset = 0;  // 0..799: x of the current background
    const TBackgroundEntry* Current = nullptr;
    const TBackgroundEntry* Next = nullptr;  // drawn at Offset - 800 when Offset is not 0
};

class TScenarioDataReader {
public:
    // Reads a scenery file; decor sizes come from `boundaries`. Throws
    // EDataError ("Invalid level data file" for a wrong magic, bad counts or
    // values, a sprite id outside the boundaries: "out of bounds") or
    // EBinaryError when the file ends early.
    TScenarioDataReader(std::span<const std::uint8_t> data, const TSpriteBoundaries& boundaries);

    // Moves the scenery. A position below the current one, or at or past
    // the loop length, starts the view afresh; positions wrap into
    // 0..LoopLength. A position that is not finite is ignored.
    void SetPosition(float position);
    float Position() const { return position_; }

    // Brings the view up to date and returns the backgrounds to draw.
    TBackgroundView GetBackgrounds();
    // Brings the view up to date and returns the layer's items in view.
    const std::vector<std::int32_t>& ActiveItems(int layer);
    // The layer's position: trunc(trunc(position) / factor). Items are drawn
    // at x = (LayerPosition + 800) - item x.
    std::int32_t LayerPosition(int layer);
    const TScenarioLayer& Layer(int layer) const;

    std::int32_t LoopStart() const { return loopStart_; }
    std::int32_t LoopLength() const { return loopLength_; }
    // The N backgrounds and the copy of the first that closes the loop.
    const std::vector<TBackgroundEntry>& Backgrounds() const { return backgrounds_; }

private:
    void ReadLayer(TBinaryReader& in, int layer, const TSpriteBoundaries& boundaries);
    void AddItem(TScenarioLayer& layer, const TDecorItem& item, const TSpriteBoundaries& boundaries);
    void ResetView();
    void Update();
    static void CheckLayer(int layer);

    std::vector<TBackgroundEntry> backgrounds_;
    std::array<TScenarioLayer, kSceneryLayerCount> layers_;
    std::array<std::int32_t, kSceneryLayerCount> layerPositions_{};
    std::int32_t loopStart_ = 0;
    std::int32_t loopLength_ = 0;
    float position_ = 0;
    bool dirty_ = true;
    std::int32_t backgroundIndex_ = 0;
    std::int32_t backgroundOffset_ = 0;
};

}  // namespace qv
