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

void ProbeGl(TGraphicsRuntime& runtime) {
    const bool started = SDL_WasInit(SDL_INIT_VIDEO) == 0;
    if (started && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window) {
        SDL_GLContext previous = SDL_GL_GetCurrentContext();
        SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
        if (SDL_GLContext context = SDL_GL_CreateContext(window)) {
            runtime.GlVersion = GlString(GL_VERSION);
            runtime.GlRenderer = GlString(GL_RENDERER);
            SDL_GL_MakeCurrent(previousWindow, previous);
            SDL_GL_DeleteContext(context);
        }
        SDL_DestroyWindow(window);
    }
    if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
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
    ProbeGl(runtime);
    return runtime;
}

}  // namespace qv::sysinfo
