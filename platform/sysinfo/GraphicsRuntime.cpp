#include "platform/sysinfo/GraphicsRuntime.h"

#include <SDL.h>
#include <SDL_opengl.h>

namespace qv::sysinfo {

namespace {

std::string GlString(GLenum name) {
    using GetStringFn = const GLubyte* (*)(GLenum);
    auto getString = reinterpret_cast<GetStringFn>(SDL_GL_GetProcAddress("glGetString"));
    if (!getString) return "";
    const GLubyte* text = getString(name);
    return text ? reinterpret_cast<const char*>(text) : "";
}

// The GL facts, asked once per process. The video subsystem and the GL
// library stay loaded after the probe: unloading the GL driver leaves what
// it allocated behind, and the program starts video for its game window
// anyway.
struct TGlFacts {
    std::string Version, Renderer;
};

TGlFacts ProbeGl() {
    TGlFacts facts;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return facts;
    if (SDL_GL_LoadLibrary(nullptr) != 0) return facts;
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return facts;
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    if (SDL_GLContext context = SDL_GL_CreateContext(window)) {
        facts.Version = GlString(GL_VERSION);
        facts.Renderer = GlString(GL_RENDERER);
        SDL_GL_MakeCurrent(previousWindow, previous);
        SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(window);
    return facts;
}

}  // namespace

TGraphicsRuntime QueryGraphicsRuntime() {
    TGraphicsRuntime runtime;
    SDL_version linked;
    SDL_GetVersion(&linked);
    runtime.SdlVersion = std::to_string(linked.major) + "." + std::to_string(linked.minor) + "." +
                         std::to_string(linked.patch);
    const int count = SDL_GetNumRenderDrivers();
    for (int i = 0; i < count; ++i) {
        SDL_RendererInfo info;
        if (SDL_GetRenderDriverInfo(i, &info) == 0 && info.name) runtime.RenderDrivers.emplace_back(info.name);
    }
    static const TGlFacts gl = ProbeGl();
    runtime.GlVersion = gl.Version;
    runtime.GlRenderer = gl.Renderer;
    return runtime;
}

int DisplayBitDepth(std::uint32_t sdlFormat) {
    const int bits = static_cast<int>(SDL_BITSPERPIXEL(sdlFormat));
    if (bits == 15 || bits == 16) return 16;
    if (bits >= 24) return 32;
    return bits;
}

TScreenInfo QueryScreen() {
    TScreenInfo screen;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return screen;
    SDL_DisplayMode mode;
    if (SDL_GetNumVideoDisplays() < 1 || SDL_GetDesktopDisplayMode(0, &mode) != 0) return screen;
    screen.Valid = true;
    screen.Desktop = {mode.w, mode.h, DisplayBitDepth(mode.format)};
    float diagonal = 0, horizontal = 0, vertical = 0;
    if (SDL_GetDisplayDPI(0, &diagonal, &horizontal, &vertical) == 0) {
        screen.HorizontalDpi = horizontal;
        screen.VerticalDpi = vertical;
    }
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i)
        if (SDL_GetDisplayMode(0, i, &mode) == 0) screen.Modes.push_back({mode.w, mode.h, DisplayBitDepth(mode.format)});
    return screen;
}

}  // namespace qv::sysinfo
