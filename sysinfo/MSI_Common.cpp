#include "sysinfo/MSI_Common.h"

#include <cstdio>
#include <exception>
#include <mutex>

#include "foundation/Exceptions.h"

namespace qv {

namespace {

std::mutex g_hookLock;
TErrorBoxHook g_errorBox;

void ShowError(const std::string& text) {
    TErrorBoxHook hook;
    {
        std::lock_guard lock(g_hookLock);
        hook = g_errorBox;
    }
    if (hook) {
        hook(text);
    } else {
        std::fputs((text + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
}

}  // namespace

void SetErrorBoxHook(TErrorBoxHook hook) {
    std::lock_guard lock(g_hookLock);
    g_errorBox = std::move(hook);
}

void CallGetInfoGuarded(const std::string& label, TExceptionMode mode, const std::function<void()>& refresh) {
    std::string text;
    try {
        refresh();
        return;
    } catch (const std::exception& e) {
        text = label + ": " + e.what();
    }
    switch (mode) {
        case emRaise:
            throw Exception(text);
        case emMessage:
            ShowError(text);
            break;
        case emSilent:
            break;
    }
}

}  // namespace qv
