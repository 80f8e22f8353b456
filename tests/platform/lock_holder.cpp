// Takes the product's instance lock in the folder given as argv[1], says
// "locked" (or "busy") on stdout, and keeps the lock until stdin closes.
#include <cstdio>
#include <string>

#include "platform/system/InstanceLock.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    qv::sys::TInstanceLock lock;
    const auto result = lock.Acquire(argv[1], argc > 2 ? argv[2] : "Quorvex");
    if (result != qv::sys::TInstanceLock::Result::Acquired) {
        std::puts(result == qv::sys::TInstanceLock::Result::HeldElsewhere ? "busy" : "failed");
        return 1;
    }
    std::puts("locked");
    std::fflush(stdout);
    int c;
    while ((c = std::getchar()) != EOF) {
    }
    return 0;
}
