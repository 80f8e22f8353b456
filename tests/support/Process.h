// Starting the project's own programs from tests.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace qv::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs argv[0] with the given arguments; `env` entries ("NAME=value")
// replace or add to this process's environment. Waits for it to end.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});

// A program that keeps running while the test talks to it through its
// standard input and output.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of its output, without the line break; empty at end of output.
    std::string ReadLine();
    // Closes its standard input and waits for it to end; returns the exit code.
    int Finish();
    // Sends it `signal` (kill(2)); nothing once it has been waited for.
    void Signal(int signal);

private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
};

}  // namespace qv::test
