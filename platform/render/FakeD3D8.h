// A recording stand-in for the Direct3D-shaped interface, for tests. A
// script (TFakeWorld) says what the machine has and how calls answer; every
// call is written to the world's call list as text, every draw as a record
// holding the vertices it used.
//
// Call texts: the method name and its arguments in decimal, comma-separated,
// e.g. "SetRenderState(22,3)", "VB.Lock(0,224000,8192)". Texture arguments
// read "tex<n>" (n counts created textures from 1) or "null".
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/render/D3D8.h"

namespace qv::d3d {

struct TFakeAdapter {
    D3DADAPTER_IDENTIFIER8 Identifier;
    D3DDISPLAYMODE Desktop{1024, 768, 60, D3DFMT_X8R8G8B8};
    std::vector<D3DDISPLAYMODE> Modes;
    D3DCAPS8 Caps;
    // Display formats CheckDeviceType accepts (as display and back buffer).
    std::set<D3DFORMAT> DeviceFormats{D3DFMT_X8R8G8B8, D3DFMT_R5G6B5};
    // Formats CheckDeviceFormat accepts for textures.
    std::set<D3DFORMAT> TextureFormats{D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,
                                       D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4};
};

// A texture's memory, kept after the texture is gone.
struct TFakeTextureData {
    int Serial = 0;
    UINT Width = 0, Height = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    DWORD Pool = 0;
    UINT Pitch = 0;
    std::vector<std::uint8_t> Bits;
    bool Locked = false;
    bool Released = false;
    // The 0xAARRGGBB value of texel (x, y), expanded from the format.
    std::uint32_t Texel(UINT x, UINT y) const;
};

// An image surface's memory ("surf<n>"), kept after the surface is gone.
struct TFakeSurfaceData {
    std::string Name;
    UINT Width = 0, Height = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    UINT Pitch = 0;
    std::vector<std::uint8_t> Bits;
    std::uint32_t Pixel(UINT x, UINT y) const;
};

struct TFakeDraw {
    int Texture = 0;  // serial, 0 for none
    UINT MinIndex = 0, NumVertices = 0, StartIndex = 0, PrimitiveCount = 0;
    // The vertex range MinIndex .. MinIndex + NumVertices of the stream.
    std::vector<TTLVertex> Vertices;
    // The indices of the draw, relative to the stream's start.
    std::vector<std::uint32_t> Indices;
};

struct TFakeWorld {
    // The script.
    std::vector<TFakeAdapter> Adapters;
    HRESULT CreateDeviceResult = D3D_OK;
    // Answers of successive calls; once a queue is empty, D3D_OK.
    std::deque<HRESULT> PresentResults;
    std::deque<HRESULT> CooperativeResults;
    std::deque<HRESULT> ResetResults;
    // A call whose name (the text before "(") is listed here fails with that
    // result, e.g. {"CreateVertexBuffer", D3DERR_OUTOFVIDEOMEMORY}.
    std::map<std::string, HRESULT> Failures;

    // The record.
    std::vector<std::string> Calls;
    std::vector<TFakeDraw> Draws;
    std::vector<std::shared_ptr<TFakeTextureData>> Textures;
    std::vector<std::shared_ptr<TFakeSurfaceData>> Surfaces;
    // Render and stage-0 texture states as last set.
    std::map<DWORD, DWORD> RenderStates;
    std::map<DWORD, DWORD> StageStates;
    D3DPRESENT_PARAMETERS LastParameters;
    int LiveDefaultPoolBuffers = 0;

    // The calls whose text starts with `prefix`, in order.
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
    void ClearRecord() {
        Calls.clear();
        Draws.clear();
    }
};

// One adapter with an 800 x 600 mode in X8R8G8B8 and R5G6B5, the SDL
// layer's capability set and a 2048 texture limit.
TFakeAdapter StandardFakeAdapter();

std::unique_ptr<IDirect3D8> CreateFakeDirect3D8(std::shared_ptr<TFakeWorld> world);

}  // namespace qv::d3d
