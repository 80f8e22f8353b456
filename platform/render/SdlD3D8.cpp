#include "platform/render/SdlD3D8.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/render/PixelFormats.h"

namespace qv::d3d {

namespace {

constexpr UINT kFallbackMaxTexture = 2048;
constexpr UINT kScreenWidth = 800;
constexpr UINT kScreenHeight = 600;

// Records SDL's explanation of a failure for the log and gives `hr`.
HRESULT SdlFailure(HRESULT hr) {
    const char* text = SDL_GetError();
    SetLastErrorDetail(std::string("SDL: ") + (text && *text ? text : "failed"));
    return hr;
}

// The display formats a device can be made for.
bool IsDisplayFormat(D3DFORMAT format) { return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5; }

D3DFORMAT FromSdlDisplayFormat(Uint32 format) {
    if (format == SDL_PIXELFORMAT_RGB565) return D3DFMT_R5G6B5;
    if (format == SDL_PIXELFORMAT_RGB555 || format == SDL_PIXELFORMAT_ARGB1555) return D3DFMT_X1R5G5B5;
    // Every deeper format is shown as 32-bit colour; a display has no alpha.
    if (SDL_BITSPERPIXEL(format) >= 24) return D3DFMT_X8R8G8B8;
    return D3DFMT_UNKNOWN;
}

// Creates a renderer on `window` from the first driver of `names` that
// works; records its name.
SDL_Renderer* CreateRendererFor(SDL_Window* window, const std::vector<std::string>& names, std::string* found) {
    // Every call reaches GL through SDL, so SDL may queue them: a renderer
    // asked for by name batches only when told.
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    const int count = SDL_GetNumRenderDrivers();
    bool tried = false;
    for (const std::string& name : names) {
        for (int i = 0; i < count; ++i) {
            SDL_RendererInfo info;
            if (SDL_GetRenderDriverInfo(i, &info) != 0 || !info.name || name != info.name) continue;
            SDL_Renderer* renderer =
                SDL_CreateRenderer(window, i, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
            if (!renderer) renderer = SDL_CreateRenderer(window, i, SDL_RENDERER_ACCELERATED);
            if (renderer) {
                if (found) *found = name;
                return renderer;
            }
            tried = true;
        }
    }
    if (!tried) {
        std::string list;
        for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
        SDL_SetError("none of the render drivers %s is available", list.c_str());
    }
    return nullptr;
}

class TSdlCore;

// Something made on a device. It outlives the device safely: the device
// detaches every resource when it goes.
class TSdlResource {
public:
    explicit TSdlResource(TSdlCore* core);
    TSdlResource(const TSdlResource&) = delete;
    TSdlResource& operator=(const TSdlResource&) = delete;
    virtual ~TSdlResource();
    // The device goes: drop every SDL object, keep the CPU copies.
    virtual void Detach() { core_ = nullptr; }
    // After a reset: make the SDL objects again from the CPU copies.
    virtual bool Restore() { return true; }
    virtual bool InDefaultPool() const { return false; }

protected:
    TSdlCore* core_;
};

class TSdlTexture;
class TSdlVertexBuffer;
class TSdlIndexBuffer;
class TSdlSurface;

struct TGeometryVertex {
    float x, y;
    SDL_Color color;
    float u, v;
};

class TSdlCore {
public:
    ~TSdlCore();

    SDL_Window* window = nullptr;
    bool ownsWindow = false;
    SDL_Renderer* renderer = nullptr;
    std::string rendererName;
    bool videoStarted = false;
    D3DPRESENT_PARAMETERS parameters;
    bool lost = false;
    bool inScene = false;
    std::vector<TSdlResource*> resources;

    std::array<DWORD, 256> renderStates{};
    std::array<DWORD, 32> stageStates{};
    TSdlTexture* texture = nullptr;
    TSdlVertexBuffer* stream = nullptr;
    UINT stride = 0;
    TSdlIndexBuffer* indices = nullptr;
    UINT baseVertex = 0;
    DWORD shader = 0;
    std::vector<TGeometryVertex> vertices;
    std::vector<std::uint16_t> triangles;

    void SetDefaultStates() {
        renderStates.fill(0);
        stageStates.fill(0);
        renderStates[D3DRS_ZENABLE] = parameters.EnableAutoDepthStencil ? 1 : 0;
        renderStates[D3DRS_FILLMODE] = D3DFILL_SOLID;
        renderStates[D3DRS_ZWRITEENABLE] = 1;
        renderStates[D3DRS_SRCBLEND] = D3DBLEND_ONE;
        renderStates[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
        renderStates[D3DRS_CULLMODE] = D3DCULL_CCW;
        renderStates[D3DRS_ALPHABLENDENABLE] = 0;
        renderStates[D3DRS_LIGHTING] = 1;
        stageStates[D3DTSS_COLOROP] = D3DTOP_MODULATE;
        stageStates[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        stageStates[D3DTSS_COLORARG2] = 1;  // D3DTA_CURRENT
        stageStates[D3DTSS_ALPHAOP] = 2;    // D3DTOP_SELECTARG1
        stageStates[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        stageStates[D3DTSS_ALPHAARG2] = 1;
        stageStates[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        stageStates[D3DTSS_MINFILTER] = D3DTEXF_POINT;
    }

    void Register(TSdlResource* resource) { resources.push_back(resource); }
    void Unregister(TSdlResource* resource);

    int DefaultPoolCount() const {
        int n = 0;
        for (const TSdlResource* r : resources) n += r->InDefaultPool() ? 1 : 0;
        return n;
    }

    // The blend mode the render states ask for; false when SDL cannot do it.
    bool BlendMode(SDL_BlendMode* mode) const;
    SDL_ScaleMode ScaleMode() const {
        return stageStates[D3DTSS_MAGFILTER] >= D3DTEXF_LINEAR ? SDL_ScaleModeLinear : SDL_ScaleModeNearest;
    }

    // Applies windowed or desktop full screen and the logical size.
    bool ApplyPresentation(const D3DPRESENT_PARAMETERS& p, UINT adapter);
};

TSdlResource::TSdlResource(TSdlCore* core) : core_(core) {
    if (core_) core_->Register(this);
}

TSdlResource::~TSdlResource() {
    if (core_) core_->Unregister(this);
}

int EventWatch(void* userdata, SDL_Event* event) {
    if (event->type == SDL_RENDER_DEVICE_RESET || event->type == SDL_RENDER_TARGETS_RESET) {
        static_cast<TSdlCore*>(userdata)->lost = true;
    }
    return 1;
}

// ---------------------------------------------------------------------------

class TSdlTexture final : public IDirect3DTexture8, public TSdlResource {
public:
    TSdlTexture(TSdlCore* core, UINT width, UINT height, D3DFORMAT format, DWORD pool)
        : TSdlResource(core),
          width_(width),
          height_(height),
          format_(format),
          pool_(pool),
          pitch_(RowPitch(format, width)),
          staging_(static_cast<std::size_t>(pitch_) * height, 0),
          expanded_(static_cast<std::size_t>(width) * height, 0) {}

    ~TSdlTexture() override;

    bool Make() {
        DropSdl();
        if (!core_) return false;
        sdl_ = SDL_CreateTexture(core_->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                 static_cast<int>(width_), static_cast<int>(height_));
        if (!sdl_) return false;
        SDL_SetTextureBlendMode(sdl_, SDL_BLENDMODE_BLEND);
        SDL_SetTextureScaleMode(sdl_, SDL_ScaleModeLinear);
        return SDL_UpdateTexture(sdl_, nullptr, expanded_.data(), static_cast<int>(width_ * 4)) == 0;
    }

    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
        if (level != 0 || !desc) return D3DERR_INVALIDCALL;
        desc->Format = format_;
        desc->Type = D3DRTYPE_SURFACE;
        desc->Usage = 0;
        desc->Pool = pool_;
        desc->Size = static_cast<UINT>(staging_.size());
        desc->Width = width_;
        desc->Height = height_;
        return D3D_OK;
    }

    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        if (level != 0 || !locked || locked_) return D3DERR_INVALIDCALL;
        RECT r;
        if (!LockArea(rect, width_, height_, r)) return D3DERR_INVALIDCALL;
        locked_ = true;
        lockRect_ = r;
        readOnly_ = (flags & D3DLOCK_READONLY) != 0;
        locked->Pitch = static_cast<std::int32_t>(pitch_);
        locked->pBits = staging_.data() + static_cast<std::size_t>(r.top) * pitch_ +
                        static_cast<std::size_t>(r.left) * FormatBytesPerPixel(format_);
        return D3D_OK;
    }

    HRESULT UnlockRect(UINT level) override {
        if (level != 0 || !locked_) return D3DERR_INVALIDCALL;
        locked_ = false;
        if (readOnly_) return D3D_OK;
        const UINT w = static_cast<UINT>(lockRect_.right - lockRect_.left);
        const UINT h = static_cast<UINT>(lockRect_.bottom - lockRect_.top);
        const std::size_t first = static_cast<std::size_t>(lockRect_.top) * width_ + static_cast<UINT>(lockRect_.left);
        ExpandRows(format_,
                   staging_.data() + static_cast<std::size_t>(lockRect_.top) * pitch_ +
                       static_cast<std::size_t>(lockRect_.left) * FormatBytesPerPixel(format_),
                   static_cast<std::int32_t>(pitch_), w, h, expanded_.data() + first, width_);
        if (!sdl_) return D3D_OK;  // device gone or lost: the copy is uploaded on reset
        SDL_Rect area{lockRect_.left, lockRect_.top, static_cast<int>(w), static_cast<int>(h)};
        if (SDL_UpdateTexture(sdl_, &area, expanded_.data() + first, static_cast<int>(width_ * 4)) != 0)
            return SdlFailure(D3DERR_INVALIDCALL);
        return D3D_OK;
    }

    void Detach() override;
    bool Restore() override { return pool_ != D3DPOOL_MANAGED || Make(); }
    bool InDefaultPool() const override { return pool_ == D3DPOOL_DEFAULT; }

    SDL_Texture* Sdl() const { return sdl_; }

private:
    void DropSdl() {
        if (sdl_) SDL_DestroyTexture(sdl_);
        sdl_ = nullptr;
    }

    UINT width_, height_;
    D3DFORMAT format_;
    DWORD pool_;
    UINT pitch_;
    std::vector<std::uint8_t> staging_;
    std::vector<std::uint32_t> expanded_;
    SDL_Texture* sdl_ = nullptr;
    bool locked_ = false;
    bool readOnly_ = false;
    RECT lockRect_{};
};

TSdlTexture::~TSdlTexture() {
    DropSdl();
    if (core_ && core_->texture == this) core_->texture = nullptr;
}

void TSdlTexture::Detach() {
    DropSdl();
    TSdlResource::Detach();
}

// Vertex and index buffers: CPU arrays.
class TSdlBuffer : public TSdlResource {
public:
    TSdlBuffer(TSdlCore* core, UINT length, DWORD pool) : TSdlResource(core), data_(length, 0), pool_(pool) {}

    HRESULT LockBytes(UINT offset, UINT size, std::uint8_t** data) {
        if (!data || locked_) return D3DERR_INVALIDCALL;
        if (!LockRange(offset, size, data_.size())) return D3DERR_INVALIDCALL;
        locked_ = true;
        *data = data_.data() + offset;
        return D3D_OK;
    }
    HRESULT UnlockBytes() {
        if (!locked_) return D3DERR_INVALIDCALL;
        locked_ = false;
        return D3D_OK;
    }
    bool InDefaultPool() const override { return pool_ == D3DPOOL_DEFAULT; }
    const std::vector<std::uint8_t>& Data() const { return data_; }

private:
    std::vector<std::uint8_t> data_;
    DWORD pool_;
    bool locked_ = false;
};

class TSdlVertexBuffer final : public IDirect3DVertexBuffer8, public TSdlBuffer {
public:
    using TSdlBuffer::TSdlBuffer;
    ~TSdlVertexBuffer() override;
    HRESULT Lock(UINT offset, UINT size, std::uint8_t** data, DWORD) override { return LockBytes(offset, size, data); }
    HRESULT Unlock() override { return UnlockBytes(); }
};

class TSdlIndexBuffer final : public IDirect3DIndexBuffer8, public TSdlBuffer {
public:
    TSdlIndexBuffer(TSdlCore* core, UINT length, D3DFORMAT format, DWORD pool)
        : TSdlBuffer(core, length, pool), format_(format) {}
    ~TSdlIndexBuffer() override;
    HRESULT Lock(UINT offset, UINT size, std::uint8_t** data, DWORD) override { return LockBytes(offset, size, data); }
    HRESULT Unlock() override { return UnlockBytes(); }
    std::size_t Count() const { return Data().size() / (format_ == D3DFMT_INDEX32 ? 4 : 2); }
    std::uint32_t At(std::size_t i) const {
        const std::uint8_t* p = Data().data();
        if (format_ == D3DFMT_INDEX32) {
            std::uint32_t v;
            std::memcpy(&v, p + i * 4, 4);
            return v;
        }
        std::uint16_t v;
        std::memcpy(&v, p + i * 2, 2);
        return v;
    }

private:
    D3DFORMAT format_;
};

// An image surface (CPU pixels in a Direct3D format, shown through a 32-bit
// texture sampled nearest) or the back buffer (read through SDL).
class TSdlSurface final : public IDirect3DSurface8, public TSdlResource {
public:
    TSdlSurface(TSdlCore* core, UINT width, UINT height, D3DFORMAT format, bool backBuffer)
        : TSdlResource(core),
          width_(width),
          height_(height),
          format_(format),
          backBuffer_(backBuffer),
          pitch_(RowPitch(format, width)),
          staging_(static_cast<std::size_t>(pitch_) * height, 0) {}

    ~TSdlSurface() override { DropSdl(); }

    HRESULT GetDesc(D3DSURFACE_DESC* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        desc->Format = format_;
        desc->Type = D3DRTYPE_SURFACE;
        desc->Usage = backBuffer_ ? D3DUSAGE_RENDERTARGET : 0;
        desc->Pool = backBuffer_ ? D3DPOOL_DEFAULT : D3DPOOL_SYSTEMMEM;
        desc->Size = static_cast<UINT>(staging_.size());
        desc->Width = width_;
        desc->Height = height_;
        return D3D_OK;
    }

    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;

    HRESULT UnlockRect() override {
        if (!locked_) return D3DERR_INVALIDCALL;
        locked_ = false;
        if (!backBuffer_ && !readOnly_) dirty_ = true;
        return D3D_OK;
    }

    void Detach() override {
        DropSdl();
        TSdlResource::Detach();
    }
    bool Restore() override {
        DropSdl();
        dirty_ = true;
        return true;
    }

    bool IsBackBuffer() const { return backBuffer_; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }

    // The 32-bit texture showing the pixels, made or refreshed as needed.
    SDL_Texture* Texture() {
        if (!core_ || backBuffer_) return nullptr;
        if (!sdl_) {
            sdl_ = SDL_CreateTexture(core_->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                     static_cast<int>(width_), static_cast<int>(height_));
            if (!sdl_) return nullptr;
            SDL_SetTextureBlendMode(sdl_, SDL_BLENDMODE_NONE);
            SDL_SetTextureScaleMode(sdl_, SDL_ScaleModeNearest);
            dirty_ = true;
        }
        if (dirty_) {
            std::vector<std::uint32_t> expanded(static_cast<std::size_t>(width_) * height_);
            ExpandRows(format_, staging_.data(), static_cast<std::int32_t>(pitch_), width_, height_,
                       expanded.data(), width_);
            if (SDL_UpdateTexture(sdl_, nullptr, expanded.data(), static_cast<int>(width_ * 4)) != 0)
                return nullptr;
            dirty_ = false;
        }
        return sdl_;
    }

private:
    void DropSdl() {
        if (sdl_) SDL_DestroyTexture(sdl_);
        sdl_ = nullptr;
    }
    HRESULT ReadBack(const RECT& r);

    UINT width_, height_;
    D3DFORMAT format_;
    bool backBuffer_;
    UINT pitch_;
    std::vector<std::uint8_t> staging_;
    SDL_Texture* sdl_ = nullptr;
    bool locked_ = false;
    bool readOnly_ = false;
    bool dirty_ = true;
};

HRESULT TSdlSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!locked || locked_) return D3DERR_INVALIDCALL;
    RECT r;
    if (!LockArea(rect, width_, height_, r)) return D3DERR_INVALIDCALL;
    readOnly_ = (flags & D3DLOCK_READONLY) != 0;
    if (backBuffer_) {
        if (!core_ || !readOnly_ || !(core_->parameters.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER))
            return D3DERR_INVALIDCALL;
        const HRESULT hr = ReadBack(r);
        if (Failed(hr)) return hr;
    }
    locked_ = true;
    locked->Pitch = static_cast<std::int32_t>(pitch_);
    locked->pBits = staging_.data() + static_cast<std::size_t>(r.top) * pitch_ +
                    static_cast<std::size_t>(r.left) * FormatBytesPerPixel(format_);
    return D3D_OK;
}

// Fills the staging rows of `r` from what has been drawn so far.
HRESULT TSdlSurface::ReadBack(const RECT& r) {
    const UINT w = static_cast<UINT>(r.right - r.left);
    const UINT h = static_cast<UINT>(r.bottom - r.top);
    const UINT bpp = FormatBytesPerPixel(format_);
    if (w * h <= 1) {
        // Submits the queue instead of waiting for it.
        SDL_RenderFlush(core_->renderer);
        std::memset(staging_.data() + static_cast<std::size_t>(r.top) * pitch_ + static_cast<std::size_t>(r.left) * bpp,
                    0, bpp);
        return D3D_OK;
    }
    if (core_->lost) return D3DERR_DEVICELOST;
    // The drawn picture in output pixels; the back buffer is its logical size.
    int outW = 0, outH = 0;
    if (SDL_GetRendererOutputSize(core_->renderer, &outW, &outH) != 0) return SdlFailure(D3DERR_INVALIDCALL);
    SDL_Rect view;
    float sx = 1.0f, sy = 1.0f;
    SDL_RenderGetViewport(core_->renderer, &view);
    SDL_RenderGetScale(core_->renderer, &sx, &sy);
    const int viewW = std::max(1, static_cast<int>(static_cast<float>(view.w) * sx));
    const int viewH = std::max(1, static_cast<int>(static_cast<float>(view.h) * sy));
    if (outW <= 0 || outH <= 0) return D3DERR_INVALIDCALL;
    // The viewport never exceeds the output, so rows of the output's width hold it.
    const int stride = outW;
    std::vector<std::uint32_t> whole(static_cast<std::size_t>(outW) * static_cast<std::size_t>(outH));
    if (SDL_RenderReadPixels(core_->renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, whole.data(), stride * 4) != 0)
        return SdlFailure(D3DERR_INVALIDCALL);
    const int usedW = std::min(viewW, outW), usedH = std::min(viewH, outH);
    for (UINT y = 0; y < h; ++y) {
        const std::size_t sy2 = static_cast<std::size_t>(r.top + static_cast<std::int32_t>(y)) *
                                static_cast<std::size_t>(usedH) / height_;
        std::uint8_t* out = staging_.data() + static_cast<std::size_t>(r.top + static_cast<std::int32_t>(y)) * pitch_ +
                            static_cast<std::size_t>(r.left) * bpp;
        for (UINT x = 0; x < w; ++x, out += bpp) {
            const std::size_t sx2 = static_cast<std::size_t>(r.left + static_cast<std::int32_t>(x)) *
                                    static_cast<std::size_t>(usedW) / width_;
            PackPixel(format_, whole[sy2 * static_cast<std::size_t>(stride) + sx2] | 0xFF000000u, out);
        }
    }
    return D3D_OK;
}

// ---------------------------------------------------------------------------

TSdlVertexBuffer::~TSdlVertexBuffer() {
    if (core_ && core_->stream == this) core_->stream = nullptr;
}

TSdlIndexBuffer::~TSdlIndexBuffer() {
    if (core_ && core_->indices == this) core_->indices = nullptr;
}

TSdlCore::~TSdlCore() {
    SDL_DelEventWatch(EventWatch, this);
    // Resources detach themselves from the list as they go.
    std::vector<TSdlResource*> left = resources;
    for (TSdlResource* r : left) r->Detach();
    resources.clear();
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window && ownsWindow) SDL_DestroyWindow(window);
    if (videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void TSdlCore::Unregister(TSdlResource* resource) {
    auto it = std::find(resources.begin(), resources.end(), resource);
    if (it != resources.end()) {
        *it = resources.back();
        resources.pop_back();
    }
}

SDL_BlendFactor BlendFactorOf(DWORD blend, bool* ok) {
    switch (blend) {
        case D3DBLEND_ZERO: return SDL_BLENDFACTOR_ZERO;
        case D3DBLEND_ONE: return SDL_BLENDFACTOR_ONE;
        case D3DBLEND_SRCCOLOR: return SDL_BLENDFACTOR_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR: return SDL_BLENDFACTOR_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA: return SDL_BLENDFACTOR_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA: return SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA: return SDL_BLENDFACTOR_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA: return SDL_BLENDFACTOR_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR: return SDL_BLENDFACTOR_DST_COLOR;
        case D3DBLEND_INVDESTCOLOR: return SDL_BLENDFACTOR_ONE_MINUS_DST_COLOR;
        default: *ok = false; return SDL_BLENDFACTOR_ZERO;
    }
}

bool TSdlCore::BlendMode(SDL_BlendMode* mode) const {
    if (!renderStates[D3DRS_ALPHABLENDENABLE]) {
        *mode = SDL_BLENDMODE_NONE;
        return true;
    }
    const DWORD src = renderStates[D3DRS_SRCBLEND], dst = renderStates[D3DRS_DESTBLEND];
    if (src == D3DBLEND_SRCALPHA && dst == D3DBLEND_INVSRCALPHA) {
        *mode = SDL_BLENDMODE_BLEND;
        return true;
    }
    bool ok = true;
    const SDL_BlendFactor s = BlendFactorOf(src, &ok), d = BlendFactorOf(dst, &ok);
    if (!ok) return false;
    *mode = SDL_ComposeCustomBlendMode(s, d, SDL_BLENDOPERATION_ADD, s, d, SDL_BLENDOPERATION_ADD);
    return true;
}

bool TSdlCore::ApplyPresentation(const D3DPRESENT_PARAMETERS& p, UINT adapter) {
    const Uint32 flags = SDL_GetWindowFlags(window);
    const bool fullNow = (flags & SDL_WINDOW_FULLSCREEN) != 0;
    if (!p.Windowed && !fullNow) {
        SDL_SetWindowPosition(window, static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(adapter)),
                              static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(adapter)));
        if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return false;
    } else if (p.Windowed && fullNow) {
        if (SDL_SetWindowFullscreen(window, 0) != 0) return false;
        SDL_SetWindowSize(window, static_cast<int>(p.BackBufferWidth), static_cast<int>(p.BackBufferHeight));
    }
    return SDL_RenderSetLogicalSize(renderer, static_cast<int>(p.BackBufferWidth),
                                    static_cast<int>(p.BackBufferHeight)) == 0;
}

// ---------------------------------------------------------------------------

bool ValidParameters(const D3DPRESENT_PARAMETERS* p) {
    return p && p->BackBufferWidth > 0 && p->BackBufferHeight > 0 && p->BackBufferWidth <= 16384 &&
           p->BackBufferHeight <= 16384 && IsDisplayFormat(p->BackBufferFormat) && !p->EnableAutoDepthStencil;
}

class TSdlDevice final : public IDirect3DDevice8 {
public:
    TSdlDevice(std::unique_ptr<TSdlCore> core, UINT adapter, UINT maxTexture, std::vector<D3DFORMAT> formats)
        : core_(std::move(core)), adapter_(adapter), maxTexture_(maxTexture), formats_(std::move(formats)) {
        core_->SetDefaultStates();
        SDL_AddEventWatch(EventWatch, core_.get());
    }

    TSdlCore& Core() { return *core_; }

    HRESULT TestCooperativeLevel() override { return core_->lost ? D3DERR_DEVICENOTRESET : D3D_OK; }

    HRESULT Reset(D3DPRESENT_PARAMETERS* p) override {
        if (!ValidParameters(p) || core_->inScene) return D3DERR_INVALIDCALL;
        if (core_->DefaultPoolCount() > 0) return D3DERR_INVALIDCALL;
        if (!core_->ApplyPresentation(*p, adapter_)) return SdlFailure(D3DERR_NOTAVAILABLE);
        if (core_->lost) {
            for (TSdlResource* r : core_->resources)
                if (!r->Restore()) return SdlFailure(D3DERR_OUTOFVIDEOMEMORY);
        }
        core_->parameters = *p;
        core_->lost = false;
        core_->SetDefaultStates();
        core_->texture = nullptr;
        core_->stream = nullptr;
        core_->indices = nullptr;
        return D3D_OK;
    }

    HRESULT Present() override {
        if (core_->lost) return D3DERR_DEVICELOST;
        if (core_->inScene) return D3DERR_INVALIDCALL;
        SDL_RenderPresent(core_->renderer);
        return D3D_OK;
    }

    HRESULT GetBackBuffer(UINT index, DWORD type, std::unique_ptr<IDirect3DSurface8>* surface) override {
        if (index != 0 || type != D3DBACKBUFFER_TYPE_MONO || !surface) return D3DERR_INVALIDCALL;
        *surface = std::make_unique<TSdlSurface>(core_.get(), core_->parameters.BackBufferWidth,
                                                 core_->parameters.BackBufferHeight,
                                                 core_->parameters.BackBufferFormat, true);
        return D3D_OK;
    }

    BOOL ShowCursor(BOOL show) override {
        const int before = SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
        return before == SDL_ENABLE ? 1 : 0;
    }

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, DWORD pool,
                          std::unique_ptr<IDirect3DTexture8>* texture) override {
        if (!texture || width == 0 || height == 0 || width > maxTexture_ || height > maxTexture_ || levels > 1 ||
            usage != 0 || pool > D3DPOOL_SYSTEMMEM)
            return D3DERR_INVALIDCALL;
        if (std::find(formats_.begin(), formats_.end(), format) == formats_.end() || !IsPackedFormat(format))
            return D3DERR_INVALIDCALL;
        auto made = std::make_unique<TSdlTexture>(core_.get(), width, height, format, pool);
        if (!made->Make()) return SdlFailure(D3DERR_OUTOFVIDEOMEMORY);
        *texture = std::move(made);
        return D3D_OK;
    }

    HRESULT CreateVertexBuffer(UINT length, DWORD, DWORD, DWORD pool,
                               std::unique_ptr<IDirect3DVertexBuffer8>* buffer) override {
        if (!buffer || length == 0 || pool > D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
        *buffer = std::make_unique<TSdlVertexBuffer>(core_.get(), length, pool);
        return D3D_OK;
    }

    HRESULT CreateIndexBuffer(UINT length, DWORD, D3DFORMAT format, DWORD pool,
                              std::unique_ptr<IDirect3DIndexBuffer8>* buffer) override {
        if (!buffer || length == 0 || pool > D3DPOOL_SYSTEMMEM ||
            (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
            return D3DERR_INVALIDCALL;
        *buffer = std::make_unique<TSdlIndexBuffer>(core_.get(), length, format, pool);
        return D3D_OK;
    }

    HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                               std::unique_ptr<IDirect3DSurface8>* surface) override {
        if (!surface || width == 0 || height == 0 || width > maxTexture_ || height > maxTexture_ ||
            !IsPackedFormat(format))
            return D3DERR_INVALIDCALL;
        *surface = std::make_unique<TSdlSurface>(core_.get(), width, height, format, false);
        return D3D_OK;
    }

    HRESULT CopyRects(IDirect3DSurface8* source, const RECT* sourceRects, UINT count, IDirect3DSurface8* destination,
                      const POINT* points) override {
        auto* src = dynamic_cast<TSdlSurface*>(source);
        auto* dst = dynamic_cast<TSdlSurface*>(destination);
        if (!src || !dst || src->IsBackBuffer() || !dst->IsBackBuffer()) return D3DERR_INVALIDCALL;
        if (core_->lost) return D3D_OK;
        SDL_Texture* texture = src->Texture();
        if (!texture) return SdlFailure(D3DERR_OUTOFVIDEOMEMORY);
        const RECT whole{0, 0, static_cast<std::int32_t>(src->Width()), static_cast<std::int32_t>(src->Height())};
        const UINT n = sourceRects ? count : 1;
        for (UINT i = 0; i < n; ++i) {
            const RECT r = sourceRects ? sourceRects[i] : whole;
            if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > whole.right ||
                r.bottom > whole.bottom)
                return D3DERR_INVALIDCALL;
            const POINT at = points ? points[i] : POINT{r.left, r.top};
            SDL_Rect from{r.left, r.top, r.right - r.left, r.bottom - r.top};
            SDL_Rect to{at.x, at.y, from.w, from.h};
            if (SDL_RenderCopy(core_->renderer, texture, &from, &to) != 0) return SdlFailure(D3DERR_INVALIDCALL);
        }
        return D3D_OK;
    }

    HRESULT BeginScene() override {
        if (core_->inScene) return D3DERR_INVALIDCALL;
        core_->inScene = true;
        // The back buffer starts each frame black.
        if (!core_->lost) {
            SDL_SetRenderDrawBlendMode(core_->renderer, SDL_BLENDMODE_NONE);
            SDL_SetRenderDrawColor(core_->renderer, 0, 0, 0, 255);
            SDL_RenderClear(core_->renderer);
        }
        return D3D_OK;
    }

    HRESULT EndScene() override {
        if (!core_->inScene) return D3DERR_INVALIDCALL;
        core_->inScene = false;
        return D3D_OK;
    }

    HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float, DWORD) override {
        if (count > 0 && !rects) return D3DERR_INVALIDCALL;
        if (!(flags & D3DCLEAR_TARGET) || core_->lost) return D3D_OK;
        SDL_Renderer* r = core_->renderer;
        SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_NONE);
        SDL_SetRenderDrawColor(r, static_cast<Uint8>(color >> 16), static_cast<Uint8>(color >> 8),
                               static_cast<Uint8>(color), static_cast<Uint8>(color >> 24));
        if (count == 0) return SDL_RenderClear(r) == 0 ? D3D_OK : SdlFailure(D3DERR_INVALIDCALL);
        for (DWORD i = 0; i < count; ++i) {
            SDL_Rect area{rects[i].left, rects[i].top, rects[i].right - rects[i].left, rects[i].bottom - rects[i].top};
            if (SDL_RenderFillRect(r, &area) != 0) return SdlFailure(D3DERR_INVALIDCALL);
        }
        return D3D_OK;
    }

    HRESULT SetRenderState(DWORD state, DWORD value) override {
        if (state >= core_->renderStates.size()) return D3DERR_INVALIDCALL;
        core_->renderStates[state] = value;
        return D3D_OK;
    }

    HRESULT SetTextureStageState(DWORD stage, DWORD type, DWORD value) override {
        if (stage >= 8 || type >= core_->stageStates.size()) return D3DERR_INVALIDCALL;
        if (stage == 0) core_->stageStates[type] = value;
        return D3D_OK;
    }

    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override {
        if (stage >= 8) return D3DERR_INVALIDCALL;
        auto* mine = dynamic_cast<TSdlTexture*>(texture);
        if (texture && (!mine || !Owns(mine))) return D3DERR_INVALIDCALL;
        if (stage == 0) core_->texture = mine;
        return D3D_OK;
    }

    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) override {
        auto* mine = dynamic_cast<TSdlVertexBuffer*>(buffer);
        if (stream != 0 || (buffer && (!mine || !Owns(mine)))) return D3DERR_INVALIDCALL;
        core_->stream = mine;
        core_->stride = stride;
        return D3D_OK;
    }

    HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertexIndex) override {
        auto* mine = dynamic_cast<TSdlIndexBuffer*>(buffer);
        if (buffer && (!mine || !Owns(mine))) return D3DERR_INVALIDCALL;
        core_->indices = mine;
        core_->baseVertex = baseVertexIndex;
        return D3D_OK;
    }

    HRESULT SetVertexShader(DWORD handle) override {
        core_->shader = handle;
        return D3D_OK;
    }

    HRESULT DrawIndexedPrimitive(DWORD type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primitiveCount) override;

private:
    bool Owns(const TSdlResource* resource) const {
        return std::find(core_->resources.begin(), core_->resources.end(), resource) != core_->resources.end();
    }

    std::unique_ptr<TSdlCore> core_;
    UINT adapter_;
    UINT maxTexture_;
    std::vector<D3DFORMAT> formats_;
};

HRESULT TSdlDevice::DrawIndexedPrimitive(DWORD type, UINT minIndex, UINT numVertices, UINT startIndex,
                                         UINT primitiveCount) {
    TSdlCore& c = *core_;
    if (type != D3DPT_TRIANGLELIST || !c.inScene || !c.stream || !c.indices || c.shader != kTLVertexFVF ||
        c.stride != sizeof(TTLVertex))
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    const std::uint64_t indexEnd = static_cast<std::uint64_t>(startIndex) + 3ull * primitiveCount;
    const std::uint64_t firstVertex = static_cast<std::uint64_t>(c.baseVertex) + minIndex;
    const std::size_t vertexCount = c.stream->Data().size() / sizeof(TTLVertex);
    if (indexEnd > c.indices->Count() || firstVertex + numVertices > vertexCount || numVertices > 65536)
        return D3DERR_INVALIDCALL;
    SDL_BlendMode blend;
    if (!c.BlendMode(&blend)) return D3DERR_INVALIDCALL;
    if (c.lost) return D3D_OK;

    // Vertices with Direct3D's pixel centres moved onto GL's.
    c.vertices.resize(numVertices);
    const std::uint8_t* raw = c.stream->Data().data() + firstVertex * sizeof(TTLVertex);
    for (UINT i = 0; i < numVertices; ++i) {
        TTLVertex v;
        std::memcpy(&v, raw + static_cast<std::size_t>(i) * sizeof(TTLVertex), sizeof v);
        TGeometryVertex& g = c.vertices[i];
        g.x = v.x + 0.5f;
        g.y = v.y + 0.5f;
        g.color = SDL_Color{static_cast<Uint8>(v.diffuse >> 16), static_cast<Uint8>(v.diffuse >> 8),
                            static_cast<Uint8>(v.diffuse), static_cast<Uint8>(v.diffuse >> 24)};
        g.u = v.u;
        g.v = v.v;
    }

    // Triangles the cull mode keeps. With y growing downwards a positive
    // cross product is clockwise on screen.
    const DWORD cull = c.renderStates[D3DRS_CULLMODE];
    c.triangles.clear();
    for (std::uint64_t i = startIndex; i < indexEnd; i += 3) {
        std::uint32_t t[3];
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t index = c.indices->At(static_cast<std::size_t>(i) + static_cast<std::size_t>(k));
            if (index < minIndex || index - minIndex >= numVertices) return D3DERR_INVALIDCALL;
            t[k] = index - minIndex;
        }
        const TGeometryVertex &a = c.vertices[t[0]], &b = c.vertices[t[1]], &d = c.vertices[t[2]];
        const float cross = (b.x - a.x) * (d.y - a.y) - (b.y - a.y) * (d.x - a.x);
        if ((cull == D3DCULL_CCW && cross < 0.0f) || (cull == D3DCULL_CW && cross > 0.0f)) continue;
        for (std::uint32_t k : t) c.triangles.push_back(static_cast<std::uint16_t>(k));
    }
    if (c.triangles.empty()) return D3D_OK;

    SDL_Texture* texture = c.texture ? c.texture->Sdl() : nullptr;
    if (texture) {
        if (SDL_SetTextureBlendMode(texture, blend) != 0) return SdlFailure(D3DERR_INVALIDCALL);
        SDL_SetTextureScaleMode(texture, c.ScaleMode());
    } else if (SDL_SetRenderDrawBlendMode(c.renderer, blend) != 0) {
        return SdlFailure(D3DERR_INVALIDCALL);
    }
    const TGeometryVertex& first = c.vertices[0];
    const int stride = static_cast<int>(sizeof(TGeometryVertex));
    if (SDL_RenderGeometryRaw(c.renderer, texture, &first.x, stride, &first.color, stride, &first.u, stride,
                              static_cast<int>(numVertices), c.triangles.data(),
                              static_cast<int>(c.triangles.size()), 2) != 0)
        return SdlFailure(D3DERR_INVALIDCALL);
    return D3D_OK;
}

// ---------------------------------------------------------------------------

class TSdlDirect3D8 final : public IDirect3D8 {
public:
    explicit TSdlDirect3D8(const TSdlOptions& options) : options_(options) {}
    ~TSdlDirect3D8() override { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

    UINT GetAdapterCount() override {
        const int n = SDL_GetNumVideoDisplays();
        return n > 0 ? static_cast<UINT>(n) : 0;
    }

    HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER8* identifier) override {
        if (!identifier || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
        *identifier = D3DADAPTER_IDENTIFIER8();
        const char* driver = SDL_GetCurrentVideoDriver();
        const char* name = SDL_GetDisplayName(static_cast<int>(adapter));
        identifier->Driver = driver ? driver : "";
        identifier->Description = name ? name : "";
        Probe();
        if (!probeName_.empty()) identifier->Description += " (" + probeName_ + ")";
        return D3D_OK;
    }

    UINT GetAdapterModeCount(UINT adapter) override {
        if (adapter >= GetAdapterCount()) return 0;
        modes_ = ListModes(adapter);
        modesAdapter_ = adapter;
        return static_cast<UINT>(modes_.size());
    }

    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) override {
        if (!displayMode || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
        // The list as counted; read again for another adapter.
        if (adapter != modesAdapter_) {
            modes_ = ListModes(adapter);
            modesAdapter_ = adapter;
        }
        if (mode >= modes_.size()) return D3DERR_INVALIDCALL;
        *displayMode = modes_[mode];
        return D3D_OK;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override {
        if (!displayMode || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
        SDL_DisplayMode m;
        if (SDL_GetDesktopDisplayMode(static_cast<int>(adapter), &m) != 0) return D3DERR_NOTAVAILABLE;
        displayMode->Width = static_cast<UINT>(m.w);
        displayMode->Height = static_cast<UINT>(m.h);
        displayMode->RefreshRate = static_cast<UINT>(std::max(0, m.refresh_rate));
        const D3DFORMAT format = FromSdlDisplayFormat(m.format);
        displayMode->Format = format == D3DFMT_UNKNOWN ? D3DFMT_X8R8G8B8 : format;
        return D3D_OK;
    }

    HMONITOR GetAdapterMonitor(UINT adapter) override { return static_cast<HMONITOR>(adapter); }

    HRESULT GetDeviceCaps(UINT adapter, DWORD deviceType, D3DCAPS8* caps) override {
        if (!caps || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
        if (deviceType != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
        Probe();
        *caps = D3DCAPS8();
        caps->DeviceType = D3DDEVTYPE_HAL;
        caps->AdapterOrdinal = adapter;
        caps->Caps2 = D3DCAPS2_CANRENDERWINDOWED;
        caps->DevCaps = D3DDEVCAPS_DRAWPRIMTLVERTEX;
        caps->SrcBlendCaps = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA;
        caps->DestBlendCaps = caps->SrcBlendCaps;
        caps->TextureOpCaps = D3DTEXOPCAPS_MODULATE;
        caps->TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                                  D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
        caps->MaxTextureWidth = maxTexture_;
        caps->MaxTextureHeight = maxTexture_;
        return D3D_OK;
    }

    HRESULT CheckDeviceType(UINT adapter, DWORD deviceType, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                            BOOL) override {
        if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
        if (deviceType != D3DDEVTYPE_HAL || !IsDisplayFormat(displayFormat) || backBufferFormat != displayFormat)
            return D3DERR_NOTAVAILABLE;
        return D3D_OK;
    }

    HRESULT CheckDeviceFormat(UINT adapter, DWORD deviceType, D3DFORMAT adapterFormat, DWORD usage,
                              DWORD resourceType, D3DFORMAT checkFormat) override {
        if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
        if (deviceType != D3DDEVTYPE_HAL || !IsDisplayFormat(adapterFormat) || usage != 0 ||
            resourceType != D3DRTYPE_TEXTURE)
            return D3DERR_NOTAVAILABLE;
        const auto& f = options_.TextureFormats;
        if (std::find(f.begin(), f.end(), checkFormat) == f.end() || !IsPackedFormat(checkFormat))
            return D3DERR_NOTAVAILABLE;
        return D3D_OK;
    }

    HRESULT CheckDepthStencilMatch(UINT adapter, DWORD, D3DFORMAT, D3DFORMAT, D3DFORMAT) override {
        return adapter >= GetAdapterCount() ? D3DERR_INVALIDCALL : D3DERR_NOTAVAILABLE;
    }

    HRESULT CreateDevice(UINT adapter, DWORD deviceType, HWND focusWindow, DWORD, D3DPRESENT_PARAMETERS* p,
                         std::unique_ptr<IDirect3DDevice8>* device) override {
        if (!device || adapter >= GetAdapterCount() || !ValidParameters(p)) return D3DERR_INVALIDCALL;
        if (deviceType != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
        Probe();
        auto core = std::make_unique<TSdlCore>();
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return SdlFailure(D3DERR_NOTAVAILABLE);
        core->videoStarted = true;
        core->parameters = *p;
        core->window = p->hDeviceWindow ? p->hDeviceWindow : focusWindow;
        if (!core->window) {
            Uint32 flags = SDL_WINDOW_SHOWN;
            if (!p->Windowed) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
            core->window = SDL_CreateWindow("Quorvex", static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(adapter)),
                                            static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(adapter)),
                                            static_cast<int>(p->BackBufferWidth),
                                            static_cast<int>(p->BackBufferHeight), flags);
            if (!core->window) return SdlFailure(D3DERR_NOTAVAILABLE);
            core->ownsWindow = true;
        }
        core->renderer = CreateRendererFor(core->window, options_.RenderDrivers, &core->rendererName);
        if (!core->renderer) return SdlFailure(D3DERR_NOTAVAILABLE);
        if (!core->ApplyPresentation(*p, adapter)) return SdlFailure(D3DERR_NOTAVAILABLE);
        SDL_RendererInfo info;
        UINT maxTexture = maxTexture_;
        if (SDL_GetRendererInfo(core->renderer, &info) == 0 && info.max_texture_width > 0 &&
            info.max_texture_height > 0)
            maxTexture = static_cast<UINT>(std::min(info.max_texture_width, info.max_texture_height));
        *device = std::make_unique<TSdlDevice>(std::move(core), adapter, maxTexture, options_.TextureFormats);
        return D3D_OK;
    }

private:
    std::vector<D3DDISPLAYMODE> ListModes(UINT adapter) const {
        std::vector<D3DDISPLAYMODE> list;
        const int display = static_cast<int>(adapter);
        const int count = SDL_GetNumDisplayModes(display);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode m;
            if (SDL_GetDisplayMode(display, i, &m) != 0) continue;
            const D3DFORMAT format = FromSdlDisplayFormat(m.format);
            if (format == D3DFMT_UNKNOWN || m.w <= 0 || m.h <= 0) continue;
            list.push_back({static_cast<UINT>(m.w), static_cast<UINT>(m.h),
                            static_cast<UINT>(std::max(0, m.refresh_rate)), format});
        }
        // Full screen scales the back buffer to the screen, so the game's
        // mode is always there, whatever the monitor lists.
        for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
            const bool listed = std::any_of(list.begin(), list.end(), [&](const D3DDISPLAYMODE& m) {
                return m.Width == kScreenWidth && m.Height == kScreenHeight && m.Format == format;
            });
            if (!listed) list.push_back({kScreenWidth, kScreenHeight, 0, format});
        }
        return list;
    }

    // Reads the render driver and its texture limit once, from a hidden window.
    void Probe() {
        if (probed_) return;
        probed_ = true;
        SDL_Window* window = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_HIDDEN);
        if (!window) return;
        std::string name;
        if (SDL_Renderer* renderer = CreateRendererFor(window, options_.RenderDrivers, &name)) {
            SDL_RendererInfo info;
            if (SDL_GetRendererInfo(renderer, &info) == 0 && info.max_texture_width > 0 &&
                info.max_texture_height > 0)
                maxTexture_ = static_cast<UINT>(std::min(info.max_texture_width, info.max_texture_height));
            probeName_ = name;
            SDL_DestroyRenderer(renderer);
        }
        SDL_DestroyWindow(window);
    }

    TSdlOptions options_;
    std::vector<D3DDISPLAYMODE> modes_;
    UINT modesAdapter_ = ~0u;
    bool probed_ = false;
    std::string probeName_;
    UINT maxTexture_ = kFallbackMaxTexture;
};

}  // namespace

std::unique_ptr<IDirect3D8> CreateSdlDirect3D8(const TSdlOptions& options) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    return std::make_unique<TSdlDirect3D8>(options);
}

std::unique_ptr<IDirect3D8> Direct3DCreate8(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    return CreateSdlDirect3D8();
}

SDL_Renderer* SdlRendererOf(IDirect3DDevice8* device) {
    auto* mine = dynamic_cast<TSdlDevice*>(device);
    return mine ? mine->Core().renderer : nullptr;
}

std::string SdlRendererName(IDirect3DDevice8* device) {
    auto* mine = dynamic_cast<TSdlDevice*>(device);
    return mine ? mine->Core().rendererName : std::string();
}

}  // namespace qv::d3d
