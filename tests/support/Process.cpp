#include "tests/support/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <stdexcept>

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

int WaitExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
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
    result.exitCode = WaitExit(pid);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    int inPipe[2], outPipe[2];
    if (::pipe2(inPipe, O_CLOEXEC) != 0 || ::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    pid_ = Spawn(argv, env, inPipe[0], outPipe[1], 2, {});
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    in_ = inPipe[1];
    out_ = outPipe[0];
}

ChildProcess::~ChildProcess() { Finish(); }

std::string ChildProcess::ReadLine() {
    std::string line;
    char c;
    while (out_ >= 0) {
        ssize_t n = ::read(out_, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == '\n') break;
        line += c;
    }
    return line;
}

int ChildProcess::Finish() {
    if (pid_ < 0) return -1;
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    const int code = WaitExit(pid_);
    pid_ = -1;
    if (out_ >= 0) ::close(out_);
    out_ = -1;
    return code;
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
}

}  // namespace qv::test
