// The quad renderer: collects a frame's textured, coloured quads, sorts them
// by layer and texture, and draws them from one dynamic vertex buffer with
// one indexed triangle-list call per run of quads sharing a texture. And the
// sprite: a named rectangle of a texture that queues itself on a renderer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/zkD3D.h"
#include "foundation/zkGeometry.h"
#include "platform/render/D3D8.h"

namespace qv {

class TzkD3DSprite;

struct TUVRect {
    float U0 = 0, V0 = 0, U1 = 1, V1 = 1;
};

// One queued quad: the next quad of the same key, then its four vertices
// (corners top-left, top-right, bottom-right, bottom-left).
struct TQuadEntry {
    TQuadEntry* Next = nullptr;
    d3d::TTLVertex Vertices[4];
};

struct TQuadBucket {
    std::int32_t Count = 0;
    TQuadEntry* First = nullptr;
    TQuadEntry* Last = nullptr;
};

class TzkD3DQuadRenderer : public TzkD3DRenderer {
public:
    static constexpr int kBucketLimit = 10000;
    static constexpr int kRunLimit = 10000;
    // Quads the 16-bit index buffer can address.
    static constexpr int kMaxCapacity = 16384;
    // The depth every vertex carries: 0.99999.
    static constexpr float kVertexZ = 0.99999f;

    // Holds at most `capacity` (1..16384) quads a frame; raises 0x8100000F
    // for any other capacity. Buffers are made by CreateResources.
    TzkD3DQuadRenderer(TzkD3Device8* device, int capacity);
    // Frees the sprites made on it (last first), then its resources.
    ~TzkD3DQuadRenderer() override;

    // Queues a quad from four corners, with optional per-corner texture
    // coordinates and colours (0xAARRGGBB). Flip swaps corners 0/1 and 2/3,
    // so a mirrored quad keeps the winding culling lets through. False when
    // the quad lies wholly left of 0 or right of the back buffer, and when it
    // is refused: a frame past Capacity quads or past 10000 keys ("Too many
    // simultaneous quads on end scene", logged once), or a texture index
    // outside 0..255 (logged once).
    bool AddQuad(int textureIndex, const TPointF corners[4], const TPointF* uv, const std::uint32_t* colors,
                 std::int32_t layer, bool flip);
    // A quad of `size` (default (1, 1); a negative side mirrors) whose
    // `hotspot` (fractions, default (0, 0)) sits at `position`, rotated by
    // `angle` radians.
    bool AddRotatedQuad(int textureIndex, const TUVRect* uvRect, const TPointF* size, const TPointF* hotspot,
                        float angle, TPointF position, const std::uint32_t* colors, std::int32_t layer);

    void Clear() override;
    void ReleaseResources() override;
    void CreateResources() override;
    void Render() override;

    void AddSprite(TzkD3DSprite* sprite) { Sprites.push_back(sprite); }
    void RemoveSprite(TzkD3DSprite* sprite);

    TIntSortedList KeyIndex;
    std::int32_t BucketCount = 0;
    std::vector<TQuadBucket> Buckets;
    std::int32_t Capacity;
    std::int32_t QuadCount = 0;
    std::vector<TQuadEntry> Entries;
    std::uint32_t SrcBlend = d3d::D3DBLEND_SRCALPHA;
    std::uint32_t DestBlend = d3d::D3DBLEND_INVSRCALPHA;
    std::vector<TzkD3DSprite*> Sprites;
    std::unique_ptr<d3d::IDirect3DVertexBuffer8> VertexBuffer;
    std::unique_ptr<d3d::IDirect3DIndexBuffer8> IndexBuffer;
    std::int32_t VBOffset = 0;

private:
    struct TRun {
        TzkD3DTexture8* texture;
        std::int32_t start;
        std::int32_t count;
    };
    void Refuse(bool& logged, std::uint32_t code, const std::string& detail);

    std::vector<TRun> runs_;
    bool quadsRefused_ = false;
    bool keysRefused_ = false;
    bool indexRefused_ = false;
};

class TzkD3DSprite {
public:
    // Layer value that stands for the sprite's own layer in Draw.
    static constexpr std::int32_t kDefaultLayer = 2147483647;

    // A sprite on texture `textureIndex` (which must be registered) covering
    // `rect` of its picture (null: all of it), `width` x `height` pixels at
    // scale 1 (0: the rectangle's size), with the reference point `hotspot`
    // (fractions; null: top left) and default layer `layer`.
    TzkD3DSprite(TzkD3DQuadRenderer* renderer, int textureIndex, const d3d::RECT* rect, const TPointF* hotspot,
                 int width, int height, std::int32_t layer);
    ~TzkD3DSprite();
    TzkD3DSprite(const TzkD3DSprite&) = delete;
    TzkD3DSprite& operator=(const TzkD3DSprite&) = delete;

    // Queues the sprite at `position`, scaled (negative mirrors), rotated by
    // `angle` radians, in four corner colours. Nothing for a zero size.
    bool Draw(const TPointF* scale, TPointF position, float angle, const std::uint32_t* colors,
              std::int32_t layer = kDefaultLayer);

    TzkD3DQuadRenderer* Renderer;
    std::int32_t TextureIndex;
    float U0 = 0, V0 = 0, U1 = 1, V1 = 1;
    float Width = 0, Height = 0;
    float HotspotX = 0, HotspotY = 0;
    std::int32_t Layer;
};

}  // namespace qv
