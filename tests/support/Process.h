// Starting the project's own programs from tests. Every wait on such a
// program has a deadline long enough for a sanitizer build on a machine
// whose every core is busy; a wait that runs out fails the test with the
// step that did not come, and the program is killed.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qv::test {

// How long a test waits for one step of a program it runs.
inline constexpr std::chrono::milliseconds kProcessStepDeadline = std::chrono::minutes(3);

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs argv[0] with the given arguments; `env` entries ("NAME=value")
// replace or add to this process's environment. Waits for it to end.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});

// Waits up to `within` for the child `pid` to end and reaps it: its wait
// status (waitpid), or nothing while it still runs.
std::optional<int> WaitForEnd(pid_t pid, std::chrono::milliseconds within);

// Kills the child `pid` (SIGKILL) and reaps it.
void KillAndReap(pid_t pid);

// A program that keeps running while the test talks to it through its
// standard input and output. `step` names what a wait is for, in the
// failure when it does not come.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of its output, without the line break; empty at end of
    // output, and after a failure when none came in time.
    std::string ReadLine(const std::string& step = "a line of its output");
    // Writes `line` and a line break to its standard input.
    void WriteLine(const std::string& line);
    // Closes its standard input (it may go on writing).
    void CloseInput();
    // Closes its standard input and waits for it to end; returns the exit
    // code, -1 when it did not exit normally (ended by a signal, or killed
    // after a failure when it did not end in time).
    int Finish(const std::string& step = "its end");
    // Sends it `signal` (kill(2)); nothing once it has been waited for.
    void Signal(int signal);

private:
    std::string name_;
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffered_;
};

}  // namespace qv::test
