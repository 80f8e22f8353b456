// Transfers whose name lookup takes 3 s: run by private_resolver.sh, where
// the test's own name server on 127.0.0.1 takes every query and never
// answers, so the system's resolver gives up after its one try of 3 s.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3Transfer.h"
#include "tests/frontend/QtApp.h"

namespace qv::test {
namespace {

using namespace std::chrono_literals;

// A name server that takes queries and answers none.
class SilentNameServer {
public:
    SilentNameServer() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(53);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return;
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd p{fd_, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0) continue;
                char buffer[512];
                if (::recv(fd_, buffer, sizeof buffer, 0) > 0) ++queries_;
            }
        });
    }
    ~SilentNameServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    bool Serving() const { return thread_.joinable(); }
    int Queries() const { return queries_; }

private:
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<int> queries_{0};
    std::thread thread_;
};

int ThreadCount() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}

class SlowLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("QUORVEX_PRIVATE_RESOLVER")) GTEST_SKIP() << "runs under private_resolver.sh";
        QtApp();
        ASSERT_TRUE(server_.Serving()) << "cannot serve names on 127.0.0.1:53";
        threads_ = ThreadCount();
        // The production time-outs.
        InetSettings() = TInetSettings{};
    }
    void TearDown() override {
        if (!server_.Serving()) return;
        ASSERT_TRUE(ShutDownTransfers(60000));
        ResumeTransfers();
        // The lookup left behind ends on its own once the resolver gives up.
        const auto until = std::chrono::steady_clock::now() + 120s;
        while (ThreadCount() > threads_ && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(20ms);
        EXPECT_LE(ThreadCount(), threads_) << "a thread of the transfer never ended";
    }
    bool AwaitQuery() {
        const auto until = std::chrono::steady_clock::now() + 60s;
        while (server_.Queries() == 0 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
        return server_.Queries() > 0;
    }

    SilentNameServer server_;
    int threads_ = 0;
};

TEST_F(SlowLookupTest, CancelDuringTheLookupEndsTheWaitAtOnce) {
    QElapsedTimer clock;
    clock.start();
    qint64 cancelledAt = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (cancelledAt < 0 && clock.elapsed() >= 200 && server_.Queries() > 0) {
            cancelledAt = clock.elapsed();
            AbortForegroundTransfers();
        }
    });
    watch.start(10);
    EXPECT_THROW(HttpGetText("http://scores.slow.test/a.txt"), ETransferAborted);
    const qint64 returnedAt = clock.elapsed();
    ASSERT_GE(cancelledAt, 0) << "the wait ended before the lookup had begun";
    std::printf("Cancel at %lld ms, the wait ended %lld ms later\n", static_cast<long long>(cancelledAt),
                static_cast<long long>(returnedAt - cancelledAt));
    // The lookup itself goes on for 3 s.
    EXPECT_LT(returnedAt - cancelledAt, 1500);
}

TEST_F(SlowLookupTest, ShutDownWithAWorkerInsideTheLookup) {
    const TTransferPtr t = StartHttpGet("http://scores.slow.test/b.txt", 1024, {});
    ASSERT_TRUE(AwaitQuery());
    std::this_thread::sleep_for(200ms);  // well inside the 3 s lookup
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(ShutDownTransfers(2000));
    std::printf("Shut down with a worker inside a lookup: %lld ms\n", static_cast<long long>(clock.elapsed()));
    EXPECT_EQ(RunningTransfers(), 0);
    ASSERT_TRUE(t->Finished());
    EXPECT_TRUE(t->Outcome().Aborted);
}

}  // namespace
}  // namespace qv::test
