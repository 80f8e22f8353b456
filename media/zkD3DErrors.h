// Errors of the renderer library: the check every Direct3D call goes through,
// the raise routine of the library's own refusals, their texts, and the
// names of surface formats.
//
// EDirect3DError carries the failing Direct3D result; the library's own code
// (0x81000001..0x81000014) goes into the log line only. D3DRaiseError throws
// a plain qv::Exception, so a handler for the library's failures catches
// qv::Exception (EDirect3DError descends from it).
#pragma once

#include <cstdint>
#include <string>

#include "foundation/Exceptions.h"
#include "platform/render/D3D8.h"

namespace qv {

inline constexpr std::uint32_t kD3DFormatNotSupported = 0x81000001u;
inline constexpr std::uint32_t kD3DNoTextureFormat = 0x81000002u;
inline constexpr std::uint32_t kD3DCreateTextureFailed = 0x81000003u;
inline constexpr std::uint32_t kD3DStretchNotInteger = 0x81000004u;
inline constexpr std::uint32_t kD3DRuntimeMissing = 0x81000005u;
inline constexpr std::uint32_t kD3DCreateFailed = 0x81000006u;
inline constexpr std::uint32_t kD3DNoAdapters = 0x81000007u;
inline constexpr std::uint32_t kD3DTooManyModes = 0x81000008u;
inline constexpr std::uint32_t kD3DTooManyFormats = 0x81000009u;
inline constexpr std::uint32_t kD3DCreateDeviceFailed = 0x8100000Au;
inline constexpr std::uint32_t kD3DTooManyQuads = 0x8100000Bu;
inline constexpr std::uint32_t kD3DCreateVertexBufferFailed = 0x8100000Cu;
inline constexpr std::uint32_t kD3DImageInvalidFormat = 0x8100000Du;
inline constexpr std::uint32_t kD3DImageInvalidSize = 0x8100000Eu;
inline constexpr std::uint32_t kD3DInvalidParameters = 0x8100000Fu;
inline constexpr std::uint32_t kD3DMaskMismatch = 0x81000010u;
inline constexpr std::uint32_t kD3DRecreateFailed = 0x81000011u;
inline constexpr std::uint32_t kD3DCreateIndexBufferFailed = 0x81000012u;
inline constexpr std::uint32_t kD3DCreateImageSurfaceFailed = 0x81000013u;
inline constexpr std::uint32_t kD3DSdkOnly = 0x81000014u;

class EDirect3DError : public Exception {
public:
    EDirect3DError(const std::string& message, std::uint32_t errorCode) : Exception(message), ErrorCode(errorCode) {}
    // The Direct3D result that failed.
    std::uint32_t ErrorCode;
};

// The silent abort: a step gives up without an error of its own; the
// enclosing step logs it with its prefix and goes on.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// The library's own text for `ownCode`, "Unrecognized Error" for others.
std::string OwnErrorText(std::uint32_t ownCode);
// The Direct3D text for `result`, "Unknown Error" for others.
std::string D3DResultText(std::uint32_t result);

// Nothing for a result with bit 31 clear. Otherwise logs the failure and
// throws EDirect3DError: with ownCode 0 the Direct3D text + " " + context
// under the result's code; else "D3D $<result>: <Direct3D text> - <own text>
// <context>" under ownCode, the exception carrying the own text.
void D3DCheck(d3d::HRESULT result, std::uint32_t ownCode, const std::string& context);
// Logs the own text (with " (" + detail + ")") under ownCode and throws
// qv::Exception(own text).
[[noreturn]] void D3DRaiseError(std::uint32_t ownCode, const std::string& detail = std::string());

// A format's name without its "D3DFMT_" prefix; "Unknown" for 0, "Invalid"
// for values that name no format.
std::string D3DFormatToString(d3d::D3DFORMAT format);

}  // namespace qv
