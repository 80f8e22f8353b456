#include "tests/support/OpenWatch.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <vector>

#include "tests/support/Pictures.h"

namespace qv::test {

TOpenWatch::TOpenWatch() : fifo_(dir_ / "fifo.png"), file_(dir_ / "file.png") {
    if (::mkfifo(fifo_.c_str(), 0600) != 0) throw std::runtime_error("mkfifo " + fifo_);
    const std::vector<std::uint8_t> png = EncodeRgbPng(4, 4, std::vector<std::uint32_t>(16, 0xFF0000u));
    dir_.Write("file.png", std::string(png.begin(), png.end()));
    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ < 0 || ::inotify_add_watch(inotify_, file_.c_str(), IN_OPEN) < 0)
        throw std::runtime_error("inotify " + file_);
    watcher_ = std::thread([this] {
        while (!stop_.load()) {
            // Succeeds only while a reader is opening the FIFO.
            const int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ++fifoOpens_;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
}

TOpenWatch::~TOpenWatch() {
    stop_ = true;
    watcher_.join();
    if (inotify_ >= 0) ::close(inotify_);
}

int TOpenWatch::FileOpens() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(inotify_, buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_OPEN) ++fileOpens_;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return fileOpens_;
}

}  // namespace qv::test
