#include "platform/render/VideoMemory.h"

#include <SDL.h>

#include <cstring>

namespace qv::d3d {

namespace {
constexpr unsigned kNvxTotalAvailableMemory = 0x9048;  // kilobytes
constexpr unsigned kAtiTextureFreeMemory = 0x87FB;     // kilobytes, four values
constexpr int kMesaRendererVideoMemory = 0x8187;       // megabytes
using TGetIntegerv = void (*)(unsigned, int*);
using TQueryRendererInteger = int (*)(int, unsigned*);
}  // namespace

std::uint64_t QueryVideoMemory() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return 0;
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return 0;
    SDL_GLContext context = SDL_GL_CreateContext(window);
    std::uint64_t bytes = 0;
    if (context) {
        auto getIntegerv = reinterpret_cast<TGetIntegerv>(SDL_GL_GetProcAddress("glGetIntegerv"));
        if (getIntegerv && SDL_GL_ExtensionSupported("GL_NVX_gpu_memory_info")) {
            int kb = 0;
            getIntegerv(kNvxTotalAvailableMemory, &kb);
            if (kb > 0) bytes = static_cast<std::uint64_t>(kb) * 1024;
        } else if (getIntegerv && SDL_GL_ExtensionSupported("GL_ATI_meminfo")) {
            int values[4] = {};
            getIntegerv(kAtiTextureFreeMemory, values);
            if (values[0] > 0) bytes = static_cast<std::uint64_t>(values[0]) * 1024;
        } else if (const char* driver = SDL_GetCurrentVideoDriver(); driver && std::strcmp(driver, "x11") == 0) {
            auto query = reinterpret_cast<TQueryRendererInteger>(
                SDL_GL_GetProcAddress("glXQueryCurrentRendererIntegerMESA"));
            unsigned mb = 0;
            if (query && query(kMesaRendererVideoMemory, &mb) && mb > 0) bytes = static_cast<std::uint64_t>(mb) << 20;
        }
        SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(window);
    return bytes;
}

}  // namespace qv::d3d
