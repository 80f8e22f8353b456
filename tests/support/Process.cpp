#include "tests/support/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace qv::test {

namespace {

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        std::string s(*e);
        vars[s.substr(0, s.find('='))] = s;
    }
    for (const auto& s : extra) vars[s.substr(0, s.find('='))] = s;
    std::vector<std::string> out;
    for (auto& [k, v] : vars) out.push_back(v);
    return out;
}

std::vector<char*> CStrings(std::vector<std::string>& v) {
    std::vector<char*> p;
    for (auto& s : v) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

using Clock = std::chrono::steady_clock;

std::string Seconds(std::chrono::milliseconds d) {
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(d).count()) + " s";
}

// Milliseconds left until `deadline` for poll(2), at least 0.
int PollTimeout(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1000));
}

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int inFd, int outFd,
            int errFd, const std::vector<int>& closeFds) {
    std::vector<std::string> args = argv;
    std::vector<std::string> vars = MergedEnvironment(env);
    auto cargs = CStrings(args);
    auto cenv = CStrings(vars);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inFd, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    for (int fd : closeFds) posix_spawn_file_actions_addclose(&actions, fd);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, cargs[0], &actions, nullptr, cargs.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    return pid;
}

}  // namespace

std::optional<int> WaitForEnd(pid_t pid, std::chrono::milliseconds within) {
    const auto deadline = Clock::now() + within;
    // Readable once the child has ended, where the kernel has it.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    std::optional<int> result;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            result = status;
            break;
        }
        if (done < 0 && errno != EINTR) {
            result = W_EXITCODE(255, 0);  // not a child of ours (any more)
            break;
        }
        if (Clock::now() >= deadline) break;
        if (pidFd >= 0) {
            pollfd p{pidFd, POLLIN, 0};
            ::poll(&p, 1, PollTimeout(deadline));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (pidFd >= 0) ::close(pidFd);
    return result;
}

void KillAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = Spawn(argv, env, devNull, outPipe[1], errPipe[1], {});
    ::close(devNull);
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    ProcessResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    const auto deadline = Clock::now() + kProcessStepDeadline;
    while (open > 0) {
        if (Clock::now() >= deadline) {
            ADD_FAILURE() << BaseName(argv[0]) << " did not end within " << Seconds(kProcessStepDeadline);
            KillAndReap(pid);
            for (const pollfd& p : fds)
                if (p.fd >= 0) ::close(p.fd);
            return result;
        }
        if (::poll(fds, 2, PollTimeout(deadline)) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    const std::optional<int> status = WaitForEnd(pid, std::max(std::chrono::milliseconds(0),
                                                                std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                    deadline - Clock::now())));
    if (!status) {
        ADD_FAILURE() << BaseName(argv[0]) << " closed its output but did not end within "
                      << Seconds(kProcessStepDeadline);
        KillAndReap(pid);
        return result;
    }
    result.exitCode = ExitCode(*status);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env)
    : name_(BaseName(argv.at(0))) {
    int inPipe[2], outPipe[2];
    if (::pipe2(inPipe, O_CLOEXEC) != 0 || ::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    pid_ = Spawn(argv, env, inPipe[0], outPipe[1], 2, {});
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    in_ = inPipe[1];
    out_ = outPipe[0];
}

ChildProcess::~ChildProcess() { Finish(); }

std::string ChildProcess::ReadLine(const std::string& step) {
    const auto deadline = Clock::now() + kProcessStepDeadline;
    while (out_ >= 0) {
        if (const auto end = buffered_.find('\n'); end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return line;
        }
        if (Clock::now() >= deadline) {
            ADD_FAILURE() << name_ << ": " << step << " did not come within " << Seconds(kProcessStepDeadline);
            if (pid_ > 0) ::kill(pid_, SIGKILL);
            break;
        }
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, PollTimeout(deadline)) <= 0) continue;
        char buf[512];
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        buffered_.append(buf, static_cast<std::size_t>(n));
    }
    // The end of its output: what is left, without a line break.
    std::string rest = std::move(buffered_);
    buffered_.clear();
    return rest;
}

void ChildProcess::WriteLine(const std::string& line) {
    const std::string text = line + "\n";
    std::size_t at = 0;
    while (in_ >= 0 && at < text.size()) {
        const ssize_t n = ::write(in_, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
    }
}

void ChildProcess::CloseInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
}

int ChildProcess::Finish(const std::string& step) {
    if (pid_ < 0) return -1;
    CloseInput();
    const std::optional<int> status = WaitForEnd(pid_, kProcessStepDeadline);
    if (!status) {
        ADD_FAILURE() << name_ << ": " << step << " did not come within " << Seconds(kProcessStepDeadline);
        KillAndReap(pid_);
    }
    pid_ = -1;
    if (out_ >= 0) ::close(out_);
    out_ = -1;
    return status ? ExitCode(*status) : -1;
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
}

}  // namespace qv::test
