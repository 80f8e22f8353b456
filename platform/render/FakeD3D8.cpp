#include "platform/render/FakeD3D8.h"

#include <cstring>
#include <initializer_list>

#include "platform/render/PixelFormats.h"

namespace qv::d3d {

namespace {

std::string Join(const std::string& name, std::initializer_list<std::string> args) {
    std::string text = name + "(";
    bool first = true;
    for (const std::string& a : args) {
        if (!first) text += ",";
        text += a;
        first = false;
    }
    return text + ")";
}

std::string N(std::uint64_t v) { return std::to_string(v); }

std::string RectText(const RECT* r) {
    if (!r) return "all";
    return N(static_cast<std::uint64_t>(r->left)) + ";" + N(static_cast<std::uint64_t>(r->top)) + ";" +
           N(static_cast<std::uint64_t>(r->right)) + ";" + N(static_cast<std::uint64_t>(r->bottom));
}

class TFakeBase {
public:
    explicit TFakeBase(std::shared_ptr<TFakeWorld> world) : world_(std::move(world)) {}

protected:
    // Records the call and gives the scripted failure for its method, if any.
    HRESULT Record(const std::string& text) {
        world_->Calls.push_back(text);
        std::string name = text.substr(0, text.find('('));
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos) name = name.substr(dot + 1);
        auto it = world_->Failures.find(name);
        return it == world_->Failures.end() ? D3D_OK : it->second;
    }
    static HRESULT Next(std::deque<HRESULT>& queue) {
        if (queue.empty()) return D3D_OK;
        const HRESULT hr = queue.front();
        queue.pop_front();
        return hr;
    }

    std::shared_ptr<TFakeWorld> world_;
};

class TFakeTexture final : public IDirect3DTexture8, TFakeBase {
public:
    TFakeTexture(std::shared_ptr<TFakeWorld> world, std::shared_ptr<TFakeTextureData> data)
        : TFakeBase(std::move(world)), data_(std::move(data)), name_("tex" + N(static_cast<std::uint64_t>(data_->Serial))) {}
    ~TFakeTexture() override {
        data_->Released = true;
        world_->Calls.push_back(name_ + ".Release()");
    }

    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
        const HRESULT hr = Record(Join(name_ + ".GetLevelDesc", {N(level)}));
        if (Failed(hr)) return hr;
        if (level != 0 || !desc) return D3DERR_INVALIDCALL;
        desc->Format = data_->Format;
        desc->Type = D3DRTYPE_SURFACE;
        desc->Pool = data_->Pool;
        desc->Width = data_->Width;
        desc->Height = data_->Height;
        desc->Size = static_cast<UINT>(data_->Bits.size());
        return D3D_OK;
    }

    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        const HRESULT hr = Record(Join(name_ + ".LockRect", {N(level), RectText(rect), N(flags)}));
        if (Failed(hr)) return hr;
        if (level != 0 || !locked || data_->Locked || rect) return D3DERR_INVALIDCALL;
        data_->Locked = true;
        locked->Pitch = static_cast<std::int32_t>(data_->Pitch);
        locked->pBits = data_->Bits.data();
        return D3D_OK;
    }

    HRESULT UnlockRect(UINT level) override {
        const HRESULT hr = Record(Join(name_ + ".UnlockRect", {N(level)}));
        if (!data_->Locked) return D3DERR_INVALIDCALL;
        data_->Locked = false;
        return hr;
    }

    const std::string& Name() const { return name_; }
    int Serial() const { return data_->Serial; }

private:
    std::shared_ptr<TFakeTextureData> data_;
    std::string name_;
};

class TFakeBuffer : protected TFakeBase {
public:
    TFakeBuffer(std::shared_ptr<TFakeWorld> world, std::string name, UINT length, DWORD pool)
        : TFakeBase(std::move(world)), name_(std::move(name)), data_(length, 0), pool_(pool) {
        if (pool_ == D3DPOOL_DEFAULT) ++world_->LiveDefaultPoolBuffers;
    }
    ~TFakeBuffer() {
        if (pool_ == D3DPOOL_DEFAULT) --world_->LiveDefaultPoolBuffers;
        world_->Calls.push_back(name_ + ".Release()");
    }
    TFakeBuffer(const TFakeBuffer&) = delete;
    TFakeBuffer& operator=(const TFakeBuffer&) = delete;

    HRESULT LockBytes(UINT offset, UINT size, std::uint8_t** data, DWORD flags) {
        const HRESULT hr = Record(Join(name_ + ".Lock", {N(offset), N(size), N(flags)}));
        if (Failed(hr)) return hr;
        if (!data || locked_) return D3DERR_INVALIDCALL;
        if (!LockRange(offset, size, data_.size())) return D3DERR_INVALIDCALL;
        locked_ = true;
        *data = data_.data() + offset;
        return D3D_OK;
    }
    HRESULT UnlockBytes() {
        const HRESULT hr = Record(name_ + ".Unlock()");
        if (!locked_) return D3DERR_INVALIDCALL;
        locked_ = false;
        return hr;
    }
    const std::vector<std::uint8_t>& Data() const { return data_; }

private:
    std::string name_;
    std::vector<std::uint8_t> data_;
    DWORD pool_;
    bool locked_ = false;
};

class TFakeVertexBuffer final : public IDirect3DVertexBuffer8, public TFakeBuffer {
public:
    using TFakeBuffer::TFakeBuffer;
    HRESULT Lock(UINT offset, UINT size, std::uint8_t** data, DWORD flags) override {
        return LockBytes(offset, size, data, flags);
    }
    HRESULT Unlock() override { return UnlockBytes(); }
};

class TFakeIndexBuffer final : public IDirect3DIndexBuffer8, public TFakeBuffer {
public:
    using TFakeBuffer::TFakeBuffer;
    HRESULT Lock(UINT offset, UINT size, std::uint8_t** data, DWORD flags) override {
        return LockBytes(offset, size, data, flags);
    }
    HRESULT Unlock() override { return UnlockBytes(); }
};

class TFakeSurface final : public IDirect3DSurface8, TFakeBase {
public:
    TFakeSurface(std::shared_ptr<TFakeWorld> world, std::shared_ptr<TFakeSurfaceData> data)
        : TFakeBase(std::move(world)), data_(std::move(data)) {}

    HRESULT GetDesc(D3DSURFACE_DESC* desc) override {
        const HRESULT hr = Record(data_->Name + ".GetDesc()");
        if (Failed(hr)) return hr;
        if (!desc) return D3DERR_INVALIDCALL;
        desc->Format = data_->Format;
        desc->Width = data_->Width;
        desc->Height = data_->Height;
        desc->Size = static_cast<UINT>(data_->Bits.size());
        return D3D_OK;
    }
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override {
        const HRESULT hr = Record(Join(data_->Name + ".LockRect", {RectText(rect), N(flags)}));
        if (Failed(hr)) return hr;
        if (!locked || locked_) return D3DERR_INVALIDCALL;
        RECT r;
        if (!LockArea(rect, data_->Width, data_->Height, r)) return D3DERR_INVALIDCALL;
        locked_ = true;
        locked->Pitch = static_cast<std::int32_t>(data_->Pitch);
        locked->pBits = data_->Bits.data() + static_cast<std::size_t>(r.top) * data_->Pitch +
                        static_cast<std::size_t>(r.left) * FormatBytesPerPixel(data_->Format);
        return D3D_OK;
    }
    HRESULT UnlockRect() override {
        const HRESULT hr = Record(data_->Name + ".UnlockRect()");
        if (!locked_) return D3DERR_INVALIDCALL;
        locked_ = false;
        return hr;
    }
    const std::string& Name() const { return data_->Name; }

private:
    std::shared_ptr<TFakeSurfaceData> data_;
    bool locked_ = false;
};

std::shared_ptr<TFakeSurfaceData> NewSurfaceData(std::string name, UINT width, UINT height, D3DFORMAT format) {
    auto data = std::make_shared<TFakeSurfaceData>();
    data->Name = std::move(name);
    data->Width = width;
    data->Height = height;
    data->Format = format;
    data->Pitch = RowPitch(format, width);
    data->Bits.assign(static_cast<std::size_t>(data->Pitch) * height, 0);
    return data;
}

class TFakeDevice final : public IDirect3DDevice8, TFakeBase {
public:
    TFakeDevice(std::shared_ptr<TFakeWorld> world, const D3DPRESENT_PARAMETERS& parameters)
        : TFakeBase(std::move(world)), parameters_(parameters) {}
    ~TFakeDevice() override { world_->Calls.push_back("Device.Release()"); }

    HRESULT TestCooperativeLevel() override {
        const HRESULT hr = Record("TestCooperativeLevel()");
        return Failed(hr) ? hr : Next(world_->CooperativeResults);
    }
    HRESULT Reset(D3DPRESENT_PARAMETERS* p) override {
        const HRESULT hr = Record("Reset()");
        if (Failed(hr)) return hr;
        if (!p || world_->LiveDefaultPoolBuffers > 0) return D3DERR_INVALIDCALL;
        const HRESULT scripted = Next(world_->ResetResults);
        if (Succeeded(scripted)) {
            parameters_ = *p;
            world_->LastParameters = *p;
        }
        return scripted;
    }
    HRESULT Present() override {
        const HRESULT hr = Record("Present()");
        return Failed(hr) ? hr : Next(world_->PresentResults);
    }
    HRESULT GetBackBuffer(UINT index, DWORD type, std::unique_ptr<IDirect3DSurface8>* surface) override {
        const HRESULT hr = Record(Join("GetBackBuffer", {N(index), N(type)}));
        if (Failed(hr)) return hr;
        if (!surface) return D3DERR_INVALIDCALL;
        *surface = std::make_unique<TFakeSurface>(
            world_, NewSurfaceData("BB", parameters_.BackBufferWidth, parameters_.BackBufferHeight,
                                   parameters_.BackBufferFormat));
        return D3D_OK;
    }
    BOOL ShowCursor(BOOL show) override {
        Record(Join("ShowCursor", {N(static_cast<std::uint64_t>(show))}));
        return 1;
    }

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, DWORD pool,
                          std::unique_ptr<IDirect3DTexture8>* texture) override {
        const HRESULT hr =
            Record(Join("CreateTexture", {N(width), N(height), N(levels), N(usage), N(format), N(pool)}));
        if (Failed(hr)) return hr;
        if (!texture || width == 0 || height == 0) return D3DERR_INVALIDCALL;
        auto data = std::make_shared<TFakeTextureData>();
        data->Serial = static_cast<int>(world_->Textures.size()) + 1;
        data->Width = width;
        data->Height = height;
        data->Format = format;
        data->Pool = pool;
        data->Pitch = RowPitch(format, width);
        if (data->Pitch == 0) data->Pitch = (width * 4 + 3u) & ~3u;  // a format the layer does not pack
        data->Bits.assign(static_cast<std::size_t>(data->Pitch) * height, 0xCD);
        world_->Textures.push_back(data);
        *texture = std::make_unique<TFakeTexture>(world_, data);
        return D3D_OK;
    }
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, DWORD pool,
                               std::unique_ptr<IDirect3DVertexBuffer8>* buffer) override {
        const HRESULT hr = Record(Join("CreateVertexBuffer", {N(length), N(usage), N(fvf), N(pool)}));
        if (Failed(hr)) return hr;
        if (!buffer || length == 0) return D3DERR_INVALIDCALL;
        *buffer = std::make_unique<TFakeVertexBuffer>(world_, "VB", length, pool);
        return D3D_OK;
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, DWORD pool,
                              std::unique_ptr<IDirect3DIndexBuffer8>* buffer) override {
        const HRESULT hr = Record(Join("CreateIndexBuffer", {N(length), N(usage), N(format), N(pool)}));
        if (Failed(hr)) return hr;
        if (!buffer || length == 0) return D3DERR_INVALIDCALL;
        *buffer = std::make_unique<TFakeIndexBuffer>(world_, "IB", length, pool);
        return D3D_OK;
    }
    HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                               std::unique_ptr<IDirect3DSurface8>* surface) override {
        const HRESULT hr = Record(Join("CreateImageSurface", {N(width), N(height), N(format)}));
        if (Failed(hr)) return hr;
        if (!surface || width == 0 || height == 0 || !IsPackedFormat(format)) return D3DERR_INVALIDCALL;
        auto data = NewSurfaceData("surf" + N(world_->Surfaces.size() + 1), width, height, format);
        world_->Surfaces.push_back(data);
        *surface = std::make_unique<TFakeSurface>(world_, data);
        return D3D_OK;
    }
    HRESULT CopyRects(IDirect3DSurface8* source, const RECT* rects, UINT count, IDirect3DSurface8* destination,
                      const POINT*) override {
        auto* src = dynamic_cast<TFakeSurface*>(source);
        auto* dst = dynamic_cast<TFakeSurface*>(destination);
        const HRESULT hr = Record(Join("CopyRects", {src ? src->Name() : "null", rects ? N(count) : "all",
                                                     dst ? dst->Name() : "null"}));
        if (Failed(hr)) return hr;
        return src && dst ? D3D_OK : D3DERR_INVALIDCALL;
    }

    HRESULT BeginScene() override { return Record("BeginScene()"); }
    HRESULT EndScene() override { return Record("EndScene()"); }
    HRESULT Clear(DWORD count, const RECT*, DWORD flags, D3DCOLOR color, float, DWORD) override {
        return Record(Join("Clear", {N(count), N(flags), N(color)}));
    }

    HRESULT SetRenderState(DWORD state, DWORD value) override {
        const HRESULT hr = Record(Join("SetRenderState", {N(state), N(value)}));
        if (Succeeded(hr)) world_->RenderStates[state] = value;
        return hr;
    }
    HRESULT SetTextureStageState(DWORD stage, DWORD type, DWORD value) override {
        const HRESULT hr = Record(Join("SetTextureStageState", {N(stage), N(type), N(value)}));
        if (Succeeded(hr) && stage == 0) world_->StageStates[type] = value;
        return hr;
    }
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override {
        auto* mine = dynamic_cast<TFakeTexture*>(texture);
        const HRESULT hr = Record(Join("SetTexture", {N(stage), mine ? mine->Name() : "null"}));
        if (Failed(hr)) return hr;
        if (texture && !mine) return D3DERR_INVALIDCALL;
        if (stage == 0) texture_ = mine ? mine->Serial() : 0;
        return D3D_OK;
    }
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) override {
        const HRESULT hr = Record(Join("SetStreamSource", {N(stream), buffer ? "VB" : "null", N(stride)}));
        if (Failed(hr)) return hr;
        stream_ = dynamic_cast<TFakeVertexBuffer*>(buffer);
        stride_ = stride;
        return D3D_OK;
    }
    HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT base) override {
        const HRESULT hr = Record(Join("SetIndices", {buffer ? "IB" : "null", N(base)}));
        if (Failed(hr)) return hr;
        indices_ = dynamic_cast<TFakeIndexBuffer*>(buffer);
        base_ = base;
        return D3D_OK;
    }
    HRESULT SetVertexShader(DWORD handle) override {
        const HRESULT hr = Record(Join("SetVertexShader", {N(handle)}));
        if (Succeeded(hr)) shader_ = handle;
        return hr;
    }
    HRESULT DrawIndexedPrimitive(DWORD type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primitiveCount) override {
        const HRESULT hr = Record(
            Join("DrawIndexedPrimitive", {N(type), N(minIndex), N(numVertices), N(startIndex), N(primitiveCount)}));
        if (Failed(hr)) return hr;
        if (!stream_ || !indices_ || stride_ != sizeof(TTLVertex) || shader_ != kTLVertexFVF) return D3DERR_INVALIDCALL;
        TFakeDraw draw;
        draw.Texture = texture_;
        draw.MinIndex = minIndex;
        draw.NumVertices = numVertices;
        draw.StartIndex = startIndex;
        draw.PrimitiveCount = primitiveCount;
        const std::vector<std::uint8_t>& vb = stream_->Data();
        const std::size_t first = static_cast<std::size_t>(base_) + minIndex;
        if ((first + numVertices) * sizeof(TTLVertex) > vb.size()) return D3DERR_INVALIDCALL;
        draw.Vertices.resize(numVertices);
        if (numVertices > 0)
            std::memcpy(draw.Vertices.data(), vb.data() + first * sizeof(TTLVertex), numVertices * sizeof(TTLVertex));
        const std::vector<std::uint8_t>& ib = indices_->Data();
        const std::size_t end = static_cast<std::size_t>(startIndex) + 3u * primitiveCount;
        if (end * 2 > ib.size()) return D3DERR_INVALIDCALL;
        for (std::size_t i = startIndex; i < end; ++i) {
            std::uint16_t v;
            std::memcpy(&v, ib.data() + i * 2, 2);
            draw.Indices.push_back(v);
        }
        world_->Draws.push_back(std::move(draw));
        return D3D_OK;
    }

private:
    D3DPRESENT_PARAMETERS parameters_;
    int texture_ = 0;
    TFakeVertexBuffer* stream_ = nullptr;
    UINT stride_ = 0;
    TFakeIndexBuffer* indices_ = nullptr;
    UINT base_ = 0;
    DWORD shader_ = 0;
};

class TFakeDirect3D8 final : public IDirect3D8, TFakeBase {
public:
    using TFakeBase::TFakeBase;

    UINT GetAdapterCount() override {
        Record("GetAdapterCount()");
        return static_cast<UINT>(world_->Adapters.size());
    }
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) override {
        const HRESULT hr = Record(Join("GetAdapterIdentifier", {N(adapter), N(flags)}));
        if (Failed(hr)) return hr;
        if (!identifier || adapter >= world_->Adapters.size()) return D3DERR_INVALIDCALL;
        *identifier = world_->Adapters[adapter].Identifier;
        return D3D_OK;
    }
    UINT GetAdapterModeCount(UINT adapter) override {
        Record(Join("GetAdapterModeCount", {N(adapter)}));
        return adapter < world_->Adapters.size() ? static_cast<UINT>(world_->Adapters[adapter].Modes.size()) : 0;
    }
    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) override {
        const HRESULT hr = Record(Join("EnumAdapterModes", {N(adapter), N(mode)}));
        if (Failed(hr)) return hr;
        if (!displayMode || adapter >= world_->Adapters.size() || mode >= world_->Adapters[adapter].Modes.size())
            return D3DERR_INVALIDCALL;
        *displayMode = world_->Adapters[adapter].Modes[mode];
        return D3D_OK;
    }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override {
        const HRESULT hr = Record(Join("GetAdapterDisplayMode", {N(adapter)}));
        if (Failed(hr)) return hr;
        if (!displayMode || adapter >= world_->Adapters.size()) return D3DERR_INVALIDCALL;
        *displayMode = world_->Adapters[adapter].Desktop;
        return D3D_OK;
    }
    HMONITOR GetAdapterMonitor(UINT adapter) override {
        Record(Join("GetAdapterMonitor", {N(adapter)}));
        return static_cast<HMONITOR>(adapter);
    }
    HRESULT GetDeviceCaps(UINT adapter, DWORD type, D3DCAPS8* caps) override {
        const HRESULT hr = Record(Join("GetDeviceCaps", {N(adapter), N(type)}));
        if (Failed(hr)) return hr;
        if (!caps || adapter >= world_->Adapters.size()) return D3DERR_INVALIDCALL;
        *caps = world_->Adapters[adapter].Caps;
        return D3D_OK;
    }
    HRESULT CheckDeviceType(UINT adapter, DWORD type, D3DFORMAT display, D3DFORMAT backBuffer,
                            BOOL windowed) override {
        const HRESULT hr = Record(Join("CheckDeviceType",
                                       {N(adapter), N(type), N(display), N(backBuffer), N(static_cast<UINT>(windowed))}));
        if (Failed(hr)) return hr;
        if (adapter >= world_->Adapters.size()) return D3DERR_INVALIDCALL;
        const auto& formats = world_->Adapters[adapter].DeviceFormats;
        return display == backBuffer && formats.count(display) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    HRESULT CheckDeviceFormat(UINT adapter, DWORD type, D3DFORMAT adapterFormat, DWORD usage, DWORD resourceType,
                              D3DFORMAT check) override {
        const HRESULT hr = Record(
            Join("CheckDeviceFormat", {N(adapter), N(type), N(adapterFormat), N(usage), N(resourceType), N(check)}));
        if (Failed(hr)) return hr;
        if (adapter >= world_->Adapters.size()) return D3DERR_INVALIDCALL;
        if (usage != 0 || resourceType != D3DRTYPE_TEXTURE) return D3DERR_NOTAVAILABLE;
        return world_->Adapters[adapter].TextureFormats.count(check) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    HRESULT CheckDepthStencilMatch(UINT adapter, DWORD type, D3DFORMAT adapterFormat, D3DFORMAT target,
                                   D3DFORMAT depth) override {
        const HRESULT hr = Record(
            Join("CheckDepthStencilMatch", {N(adapter), N(type), N(adapterFormat), N(target), N(depth)}));
        return Failed(hr) ? hr : D3DERR_NOTAVAILABLE;
    }
    HRESULT CreateDevice(UINT adapter, DWORD type, HWND, DWORD behavior, D3DPRESENT_PARAMETERS* p,
                         std::unique_ptr<IDirect3DDevice8>* device) override {
        const HRESULT hr = Record(Join("CreateDevice", {N(adapter), N(type), N(behavior)}));
        if (Failed(hr)) return hr;
        if (!p || !device) return D3DERR_INVALIDCALL;
        world_->LastParameters = *p;
        if (Failed(world_->CreateDeviceResult)) return world_->CreateDeviceResult;
        *device = std::make_unique<TFakeDevice>(world_, *p);
        return D3D_OK;
    }
};

}  // namespace

std::uint32_t TFakeTextureData::Texel(UINT x, UINT y) const {
    const UINT bpp = FormatBytesPerPixel(Format);
    if (bpp == 0 || x >= Width || y >= Height) return 0;
    return ExpandPixel(Format, Bits.data() + static_cast<std::size_t>(y) * Pitch + static_cast<std::size_t>(x) * bpp);
}

std::uint32_t TFakeSurfaceData::Pixel(UINT x, UINT y) const {
    const UINT bpp = FormatBytesPerPixel(Format);
    if (bpp == 0 || x >= Width || y >= Height) return 0;
    return ExpandPixel(Format, Bits.data() + static_cast<std::size_t>(y) * Pitch + static_cast<std::size_t>(x) * bpp);
}

std::vector<std::string> TFakeWorld::CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& c : Calls)
        if (c.compare(0, prefix.size(), prefix) == 0) found.push_back(c);
    return found;
}

TFakeAdapter StandardFakeAdapter() {
    TFakeAdapter a;
    a.Identifier.Driver = "fake";
    a.Identifier.Description = "Fake adapter";
    a.Desktop = {800, 600, 60, D3DFMT_X8R8G8B8};
    a.Modes = {{800, 600, 0, D3DFMT_X8R8G8B8}, {800, 600, 0, D3DFMT_R5G6B5}};
    a.Caps.DeviceType = D3DDEVTYPE_HAL;
    a.Caps.Caps2 = D3DCAPS2_CANRENDERWINDOWED;
    a.Caps.DevCaps = D3DDEVCAPS_DRAWPRIMTLVERTEX;
    a.Caps.SrcBlendCaps = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA;
    a.Caps.DestBlendCaps = a.Caps.SrcBlendCaps;
    a.Caps.TextureOpCaps = D3DTEXOPCAPS_MODULATE;
    a.Caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFLINEAR;
    a.Caps.MaxTextureWidth = 2048;
    a.Caps.MaxTextureHeight = 2048;
    return a;
}

std::unique_ptr<IDirect3D8> CreateFakeDirect3D8(std::shared_ptr<TFakeWorld> world) {
    return std::make_unique<TFakeDirect3D8>(std::move(world));
}

}  // namespace qv::d3d
