#include "frontend/ui/qv3FrontendHooks.h"

#include <spawn.h>
#include <sys/wait.h>

#include "foundation/TextUtil.h"

extern char** environ;

namespace qv::ui {

bool OpenUrlWithDesktop(const std::string& url) {
    if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://") && !StartsWithNoCase(url, "file://"))
        return false;
    std::string program = "xdg-open";
    std::string argument = url;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
    // xdg-open hands the address on and ends; its child is not ours to wait for.
    int status = 0;
    waitpid(pid, &status, WNOHANG);
    return true;
}

}  // namespace qv::ui
