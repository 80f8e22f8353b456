#include "media/zkD3DQuadRenderer.h"

#include <algorithm>
#include <cstring>

#include "foundation/qv3Log.h"
#include "media/zkD3DTextures.h"

namespace qv {

using namespace d3d;

namespace {

constexpr UINT kQuadBytes = 4 * sizeof(TTLVertex);
static_assert(kQuadBytes == 112);

const TTLVertex kDefaultQuad[4] = {
    {0, 0, TzkD3DQuadRenderer::kVertexZ, 1.0f, 0xFFFFFFFFu, 0.0f, 0.0f},
    {0, 0, TzkD3DQuadRenderer::kVertexZ, 1.0f, 0xFFFFFFFFu, 1.0f, 0.0f},
    {0, 0, TzkD3DQuadRenderer::kVertexZ, 1.0f, 0xFFFFFFFFu, 1.0f, 1.0f},
    {0, 0, TzkD3DQuadRenderer::kVertexZ, 1.0f, 0xFFFFFFFFu, 0.0f, 1.0f},
};

}  // namespace

TzkD3DQuadRenderer::TzkD3DQuadRenderer(TzkD3Device8* device, int capacity)
    : TzkD3DRenderer(device), Capacity(capacity) {
    if (capacity < 1 || capacity > kMaxCapacity)
        D3DRaiseError(kD3DInvalidParameters, "quad capacity " + std::to_string(capacity));
    Buckets.resize(kBucketLimit);
    Entries.resize(static_cast<std::size_t>(capacity));
    runs_.reserve(kRunLimit);
}

TzkD3DQuadRenderer::~TzkD3DQuadRenderer() {
    while (!Sprites.empty()) delete Sprites.back();  // each removes itself
    ReleaseResources();
}

void TzkD3DQuadRenderer::RemoveSprite(TzkD3DSprite* sprite) {
    Sprites.erase(std::remove(Sprites.begin(), Sprites.end(), sprite), Sprites.end());
}

void TzkD3DQuadRenderer::Refuse(bool& logged, std::uint32_t code, const std::string& detail) {
    if (logged) return;
    logged = true;
    LogMessageCode(OwnErrorText(code) + detail, code);
}

bool TzkD3DQuadRenderer::AddQuad(int textureIndex, const TPointF corners[4], const TPointF* uv,
                                 const std::uint32_t* colors, std::int32_t layer, bool flip) {
    const float width = static_cast<float>(Device->PresentParameters.BackBufferWidth);
    if ((corners[0].X > width && corners[1].X > width && corners[2].X > width && corners[3].X > width) ||
        (corners[0].X < 0 && corners[1].X < 0 && corners[2].X < 0 && corners[3].X < 0))
        return false;
    if (textureIndex < 0 || textureIndex > 255) {
        Refuse(indexRefused_, kD3DInvalidParameters, " (texture index " + std::to_string(textureIndex) + ")");
        return false;
    }
    if (QuadCount >= Capacity) {
        Refuse(quadsRefused_, kD3DTooManyQuads, "");
        return false;
    }
    const std::int32_t key =
        static_cast<std::int32_t>((static_cast<std::uint32_t>(layer) << 8) | static_cast<std::uint32_t>(textureIndex));
    int position = 0;
    const bool found = KeyIndex.Find(key, position);
    if (!found && BucketCount >= kBucketLimit) {
        Refuse(keysRefused_, kD3DTooManyQuads, "");
        return false;
    }

    TQuadEntry& entry = Entries[static_cast<std::size_t>(QuadCount++)];
    entry.Next = nullptr;
    if (found) {
        TQuadBucket& bucket = Buckets[static_cast<std::size_t>(KeyIndex.Values(position))];
        ++bucket.Count;
        bucket.Last->Next = &entry;
        bucket.Last = &entry;
    } else {
        KeyIndex.Add(key, BucketCount);
        Buckets[static_cast<std::size_t>(BucketCount++)] = TQuadBucket{1, &entry, &entry};
    }

    std::memcpy(entry.Vertices, kDefaultQuad, sizeof kDefaultQuad);
    static constexpr int kFlipped[4] = {1, 0, 3, 2};
    for (int i = 0; i < 4; ++i) {
        TTLVertex& v = entry.Vertices[flip ? kFlipped[i] : i];
        v.x = corners[i].X;
        v.y = corners[i].Y;
        if (uv) {
            v.u = uv[i].X;
            v.v = uv[i].Y;
        }
        if (colors) v.diffuse = colors[i];
    }
    return true;
}

bool TzkD3DQuadRenderer::AddRotatedQuad(int textureIndex, const TUVRect* uvRect, const TPointF* size,
                                        const TPointF* hotspot, float angle, TPointF position,
                                        const std::uint32_t* colors, std::int32_t layer) {
    const TPointF s = size ? *size : TPointF{1.0f, 1.0f};
    const TPointF h = hotspot ? *hotspot : TPointF{0.0f, 0.0f};
    const std::array<TPointF, 4> corners = ComputeQuadVertices(s, h, position, angle);
    const bool flip = size && ((size->X < 0) != (size->Y < 0));
    if (uvRect) {
        const TPointF uv[4] = {{uvRect->U0, uvRect->V0}, {uvRect->U1, uvRect->V0}, {uvRect->U1, uvRect->V1},
                               {uvRect->U0, uvRect->V1}};
        return AddQuad(textureIndex, corners.data(), uv, colors, layer, flip);
    }
    return AddQuad(textureIndex, corners.data(), nullptr, colors, layer, flip);
}

void TzkD3DQuadRenderer::Clear() {
    BucketCount = 0;
    QuadCount = 0;
    KeyIndex.Clear();
}

void TzkD3DQuadRenderer::ReleaseResources() {
    VertexBuffer.reset();
    IndexBuffer.reset();
}

void TzkD3DQuadRenderer::CreateResources() {
    try {
        ReleaseResources();
        IDirect3DDevice8& dev = *Device->Device;
        D3DCheck(dev.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW), 0, "D3DRS_CULLMODE");
        D3DCheck(dev.SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID), 0, "D3DRS_FILLMODE");
        const DWORD depth = Device->PresentParameters.EnableAutoDepthStencil ? 1 : 0;
        D3DCheck(dev.SetRenderState(D3DRS_ZENABLE, depth), 0, "D3DRS_ZENABLE");
        D3DCheck(dev.SetRenderState(D3DRS_ZWRITEENABLE, depth), 0, "D3DRS_ZWRITEENABLE");
        D3DCheck(dev.SetRenderState(D3DRS_LIGHTING, depth), 0, "D3DRS_LIGHTING");
        const D3DCAPS8& caps = Device->Caps();
        if ((caps.DevCaps & D3DDEVCAPS_DRAWPRIMTLVERTEX) && (caps.SrcBlendCaps & D3DPBLENDCAPS_ONE) &&
            (caps.DestBlendCaps & D3DPBLENDCAPS_INVSRCALPHA)) {
            D3DCheck(dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 1), 0, "D3DRS_ALPHABLENDENABLE");
            D3DCheck(dev.SetRenderState(D3DRS_SRCBLEND, SrcBlend), 0, "D3DRS_SRCBLEND");
            D3DCheck(dev.SetRenderState(D3DRS_DESTBLEND, DestBlend), 0, "D3DRS_DESTBLEND");
        }
        const UINT quads = static_cast<UINT>(Capacity);
        D3DCheck(dev.CreateVertexBuffer(quads * kQuadBytes,
                                        D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DYNAMIC,
                                        kTLVertexFVF, D3DPOOL_DEFAULT, &VertexBuffer),
                 kD3DCreateVertexBufferFailed, "");
        D3DCheck(dev.CreateIndexBuffer(quads * 12, D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING, D3DFMT_INDEX16,
                                       D3DPOOL_DEFAULT, &IndexBuffer),
                 kD3DCreateIndexBufferFailed, "");
        std::uint8_t* bytes = nullptr;
        D3DCheck(IndexBuffer->Lock(0, quads * 12, &bytes, 0), 0, "quadiblock");
        for (UINT k = 0; k < quads; ++k) {
            const std::uint16_t b = static_cast<std::uint16_t>(4 * k);
            const std::uint16_t six[6] = {static_cast<std::uint16_t>(b + 3), b, static_cast<std::uint16_t>(b + 2),
                                          static_cast<std::uint16_t>(b + 1), static_cast<std::uint16_t>(b + 2), b};
            std::memcpy(bytes + static_cast<std::size_t>(k) * 12, six, sizeof six);
        }
        D3DCheck(IndexBuffer->Unlock(), 0, "quadibunlock");
        D3DCheck(dev.SetTextureStageState(0, D3DTSS_MAGFILTER, Device->TextureFilter), 0, "Texture MagFilter");
        D3DCheck(dev.SetTextureStageState(0, D3DTSS_MINFILTER, Device->TextureFilter), 0, "Texture MinFilter");
        if (caps.TextureOpCaps & D3DTEXOPCAPS_MODULATE) {
            D3DCheck(dev.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE), 0, "ColorOp");
            D3DCheck(dev.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE), 0, "ColorArg1");
            D3DCheck(dev.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE), 0, "ColorArg2");
            D3DCheck(dev.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE), 0, "AlphaOp");
            D3DCheck(dev.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE), 0, "AlphaArg1");
            D3DCheck(dev.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE), 0, "AlphaArg2");
        } else {
            LogMessage("No support for texture operation modulate", lkWarning);
        }
    } catch (const std::exception& e) {
        LogMessage(std::string("Error initializing state: ") + e.what(), lkWarning);
        throw;
    }
}

void TzkD3DQuadRenderer::Render() {
    if (QuadCount == 0 || !VertexBuffer || !IndexBuffer) return;
    IDirect3DDevice8& dev = *Device->Device;
    std::uint8_t* bytes = nullptr;
    const UINT size = static_cast<UINT>(QuadCount) * kQuadBytes;
    if (VBOffset + QuadCount > Capacity) {
        VBOffset = 0;
        D3DCheck(VertexBuffer->Lock(0, size, &bytes, D3DLOCK_DISCARD), 0, "quadvblock");
    } else {
        D3DCheck(VertexBuffer->Lock(static_cast<UINT>(VBOffset) * kQuadBytes, size, &bytes, D3DLOCK_NOOVERWRITE), 0,
                 "quadvblock");
    }
    runs_.clear();
    try {
        for (int i = 0; i < KeyIndex.Count(); ++i) {
            TzkD3DTexture8* texture = Device->GetTexture(KeyIndex.Keys(i) & 0xFF);
            const TQuadBucket& bucket = Buckets[static_cast<std::size_t>(KeyIndex.Values(i))];
            if (!runs_.empty() && runs_.back().texture == texture) {
                runs_.back().count += bucket.Count;
            } else {
                runs_.push_back(TRun{texture, VBOffset, bucket.Count});
            }
            for (const TQuadEntry* e = bucket.First; e; e = e->Next) {
                std::memcpy(bytes, e->Vertices, kQuadBytes);
                bytes += kQuadBytes;
            }
            VBOffset += bucket.Count;
        }
    } catch (...) {
        VertexBuffer->Unlock();
        throw;
    }
    D3DCheck(VertexBuffer->Unlock(), 0, "quadvbunlock");
    D3DCheck(dev.SetStreamSource(0, VertexBuffer.get(), sizeof(TTLVertex)), 0, "setstreamsource");
    D3DCheck(dev.SetIndices(IndexBuffer.get(), 0), 0, "setindices");
    D3DCheck(dev.SetVertexShader(kTLVertexFVF), 0, "setvertexshader");
    for (const TRun& run : runs_) {
        // Quads of a texture that is gone draw nothing.
        if (!run.texture) continue;
        D3DCheck(dev.SetTexture(0, run.texture->Texture.get()), 0, "settexture");
        D3DCheck(dev.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, static_cast<UINT>(run.start) * 4,
                                          static_cast<UINT>(run.count) * 4, static_cast<UINT>(run.start) * 6,
                                          static_cast<UINT>(run.count) * 2),
                 0, "drawindexedprimitive");
    }
}

// ---------------------------------------------------------------------------

TzkD3DSprite::TzkD3DSprite(TzkD3DQuadRenderer* renderer, int textureIndex, const RECT* rect,
                           const TPointF* hotspot, int width, int height, std::int32_t layer)
    : Renderer(renderer), TextureIndex(textureIndex), Layer(layer) {
    const TzkD3DTexture8* texture = renderer->Device->GetTexture(textureIndex);
    if (!texture || texture->ImageWidth < 1 || texture->ImageHeight < 1)
        D3DRaiseError(kD3DInvalidParameters, "no texture " + std::to_string(textureIndex));
    const float imageW = static_cast<float>(texture->ImageWidth);
    const float imageH = static_cast<float>(texture->ImageHeight);
    if (rect) {
        U0 = static_cast<float>(rect->left) / imageW;
        V0 = static_cast<float>(rect->top) / imageH;
        U1 = static_cast<float>(rect->right) / imageW;
        V1 = static_cast<float>(rect->bottom) / imageH;
    }
    Width = width != 0 ? static_cast<float>(width) : imageW * (U1 - U0);
    Height = height != 0 ? static_cast<float>(height) : imageH * (V1 - V0);
    if (hotspot) {
        HotspotX = hotspot->X;
        HotspotY = hotspot->Y;
    }
    Renderer->AddSprite(this);
}

TzkD3DSprite::~TzkD3DSprite() { Renderer->RemoveSprite(this); }

bool TzkD3DSprite::Draw(const TPointF* scale, TPointF position, float angle, const std::uint32_t* colors,
                        std::int32_t layer) {
    const TPointF size = scale ? TPointF{Width * scale->X, Height * scale->Y} : TPointF{Width, Height};
    if (size.X == 0.0f || size.Y == 0.0f) return false;
    // Direct3D samples texel centres half a pixel in: move the quad by half
    // a pixel towards its own top left.
    const TPointF hotspot{0.5f / size.X + HotspotX, 0.5f / size.Y + HotspotY};
    const TUVRect uv{U0, V0, U1, V1};
    return Renderer->AddRotatedQuad(TextureIndex, &uv, &size, &hotspot, angle, position, colors,
                                    layer == kDefaultLayer ? Layer : layer);
}

}  // namespace qv
