// Two files a test hands to code that must not open them, and a count of the
// times they were opened: a FIFO (an open for reading would block for good;
// a watcher opens its writing end as soon as a reader waits, counts it and
// lets the reader go on to an empty read) and a regular file watched with
// inotify. The test never hangs whichever way the code goes.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "tests/support/TempDir.h"

namespace qv::test {

class TOpenWatch {
public:
    TOpenWatch();
    ~TOpenWatch();
    TOpenWatch(const TOpenWatch&) = delete;
    TOpenWatch& operator=(const TOpenWatch&) = delete;

    const std::string& Fifo() const { return fifo_; }
    // A small picture file (PNG), so a reader would show it.
    const std::string& File() const { return file_; }
    // How often either was opened so far.
    int FifoOpens() const { return fifoOpens_.load(); }
    int FileOpens();

private:
    TempDir dir_;
    std::string fifo_, file_;
    int inotify_ = -1;
    int fileOpens_ = 0;
    std::atomic<int> fifoOpens_{0};
    std::atomic<bool> stop_{false};
    std::thread watcher_;
};

}  // namespace qv::test
