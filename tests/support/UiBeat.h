// A UI timer's beat: a test runs it while something happens in the
// background and sees whether the event loop was held up meanwhile.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace qv::test {

// The longest gap between the ticks of a 10 ms timer while it runs: how
// long the event loop was held up at most.
class TBeat {
public:
    TBeat() {
        clock_.start();
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
            ++ticks_;
        });
        timer_.start();
    }
    qint64 Longest() const { return longest_; }
    int Ticks() const { return ticks_; }
    qint64 Now() const { return clock_.elapsed(); }

private:
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 last_ = 0, longest_ = 0;
    int ticks_ = 0;
};

}  // namespace qv::test
