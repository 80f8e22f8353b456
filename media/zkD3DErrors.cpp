#include "media/zkD3DErrors.h"

#include <utility>

#include "foundation/qv3Log.h"
#include "media/zkResultCheck.h"

namespace qv {

namespace {

constexpr const char* kOwnTexts[] = {
    "Format not supported",
    "There's no valid texture format available",
    "Failed to create texture",
    "Image stretching relation is not an integer value",
    "DirectX 8 Runtime not installed",
    "Could not Create Direct3D8!",
    "Could not find any compatible Direct3D adapters.",
    "Too many modes",
    "Too many formats",
    "Failed to create device",
    "Too many simultaneous quads on end scene",
    "Failed to create vertex buffer",
    "Image file has an invalid format",
    "Image file has an invalid size",
    "Invalid function parameters",
    "Different image and mask images",
    "Could not Recreate Direct3D8!",
    "Failed to create index buffer",
    "Failed to create image surface",
    "DirectX 8 Runtime not installed, you have DirectX 8 SDK installed instead.",
};

const std::pair<std::uint32_t, const char*> kResultTexts[] = {
    {0x00000000u, "No error occurred."},
    {0x80004005u, "An undetermined error occurred inside the Direct3D subsystem."},
    {0x8007000Eu, "Direct3D could not allocate sufficient memory to complete the call."},
    {0x80070057u, "An invalid parameter was passed to the returning function"},
    {0x8876017Cu, "Direct3D does not have enough display memory to perform the operation."},
    {0x88760818u, "The pixel format of the texture surface is not valid."},
    {0x88760819u, "The device does not support a specified texture-blending operation for color values."},
    {0x8876081Au, "The device does not support a specified texture-blending argument for color values."},
    {0x8876081Bu, "The device does not support a specified texture-blending operation for the alpha channel."},
    {0x8876081Cu, "The device does not support a specified texture-blending argument for the alpha channel."},
    {0x8876081Du, "The application is requesting more texture-filtering operations than the device"},
    {0x8876081Eu, "The current texture filters cannot be used together."},
    {0x8876081Fu, "The device does not support the specified texture factor value."},
    {0x88760821u, "The currently set render states cannot be used together."},
    {0x88760822u, "The device does not support the specified texture filter."},
    {0x88760826u,
     "The current textures cannot be used simultaneously. This generally occurs when a multitexture device "
     "requires that all palletized textures simultaneously enabled also share the same palette."},
    {0x88760827u, "Internal driver error."},
    {0x88760866u, "The requested item was not found."},
    {0x88760867u, "There is more data available than the specified buffer size can hold."},
    {0x88760868u, "The device is lost and cannot be restored at the current time, so rendering is not possible."},
    {0x88760869u, "The device cannot be reset."},
    {0x8876086Au, "This device does not support the queried technique."},
    {0x8876086Bu, "The requested device type is not valid."},
    {0x8876086Cu, "The method call is invalid. For example, a method's parameter may have an invalid value."},
};

const std::pair<std::uint32_t, const char*> kFormatNames[] = {
    {20, "R8G8B8"},        {21, "A8R8G8B8"},     {22, "X8R8G8B8"},   {23, "R5G6B5"},     {24, "X1R5G5B5"},
    {25, "A1R5G5B5"},      {26, "A4R4G4B4"},     {27, "R3G3B2"},     {28, "A8"},         {29, "A8R3G3B2"},
    {30, "X4R4G4B4"},      {40, "A8P8"},         {41, "P8"},         {50, "L8"},         {51, "A8L8"},
    {52, "A4L4"},          {60, "V8U8"},         {61, "L6V5U5"},     {62, "X8L8V8U8"},   {63, "Q8W8V8U8"},
    {64, "V16U16"},        {65, "W11V11U10"},    {70, "D16_LOCKABLE"}, {71, "D32"},      {73, "D15S1"},
    {75, "D24S8"},         {77, "D24X8"},        {79, "D24X4S4"},    {80, "D16"},        {100, "VERTEXDATA"},
    {101, "INDEX16"},      {102, "INDEX32"},     {0x7FFFFFFFu, "FORCE_DWORD"},
};

constexpr std::uint32_t FourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24);
}

const std::pair<std::uint32_t, const char*> kFourCCNames[] = {
    {FourCC('D', 'X', 'T', '1'), "DXT1"}, {FourCC('D', 'X', 'T', '2'), "DXT2"}, {FourCC('D', 'X', 'T', '3'), "DXT3"},
    {FourCC('D', 'X', 'T', '4'), "DXT4"}, {FourCC('D', 'X', 'T', '5'), "DXT5"}, {FourCC('Y', 'U', 'Y', '2'), "YUY2"},
    {FourCC('U', 'Y', 'V', 'Y'), "UYVY"},
};

}  // namespace

std::string OwnErrorText(std::uint32_t ownCode) {
    if (ownCode >= kD3DFormatNotSupported && ownCode <= kD3DSdkOnly) return kOwnTexts[ownCode - kD3DFormatNotSupported];
    return "Unrecognized Error";
}

std::string D3DResultText(std::uint32_t result) {
    for (const auto& [code, text] : kResultTexts)
        if (code == result) return text;
    return "Unknown Error";
}

void D3DCheck(d3d::HRESULT result, std::uint32_t ownCode, const std::string& givenContext) {
    // The platform's own explanation belongs to this result only.
    const std::string detail = d3d::TakeLastErrorDetail();
    if (result >= 0) return;
    std::string context = givenContext;
    if (!detail.empty()) context += (context.empty() ? "(" : " (") + detail + ")";
    const std::uint32_t code = static_cast<std::uint32_t>(result);
    RaiseFailedResult("D3D", code, D3DResultText(code), ownCode, OwnErrorText, context,
                      [code](const std::string& text) { throw EDirect3DError(text, code); });
}

void D3DRaiseError(std::uint32_t ownCode, const std::string& detail) {
    RaiseLoggedError(OwnErrorText(ownCode), ownCode, detail);
}

std::string D3DFormatToString(d3d::D3DFORMAT format) {
    if (format == 0) return "Unknown";
    for (const auto& [value, name] : kFormatNames)
        if (value == format) return name;
    for (const auto& [value, name] : kFourCCNames)
        if (value == format) return name;
    return "Invalid";
}

}  // namespace qv
