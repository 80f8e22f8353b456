// vantry <file>: installs the scenario package <file>, which lies in this
// program's own folder, into the common data folder, then tells a running
// Quorvex to rescan its scenarios. No user interface: the exit code is the
// whole answer.
//
//   0  copied (whether or not a game was running)
//   1  not used (kept free: the folder rule needs no library to be loaded)
//   2  the folders could not be determined (this program's own folder is
//      unreadable)
//   3  not copied: a name with a folder part, source missing or not a plain
//      file, common folder missing, target not writable
//   4  no argument
//
// Further arguments are ignored. The common folder is never created here:
// the game creates it at its first start, so installing before that fails
// with 3. The copy goes to a temporary file in the target folder, which is
// then renamed over the target, so a running game never sees a half-written
// package.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/system/CommonDataFolder.h"
#include "platform/system/InstanceMessage.h"

namespace {

enum ExitCode { kCopied = 0, kFolderUnknown = 2, kCopyFailed = 3, kNoArgument = 4 };

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A plain file name: no folder part, not "." or "..".
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The nearest path at or above `path` that exists (file or folder).
std::string NearestExisting(std::string path) {
    struct stat st {};
    while (!path.empty() && path.back() == '/') path.pop_back();
    while (!path.empty() && ::stat(path.c_str(), &st) != 0) {
        const auto slash = path.rfind('/');
        path = slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
    return path.empty() ? std::string("/") : path;
}

// The folder the game uses as its common data folder, or empty when the
// game has not made it yet. The game makes the wanted folder when it can and
// uses it when it accepts a test file; otherwise it uses its own folder, the
// one this program lies in.
std::string TargetFolder(const std::string& ownFolder) {
    std::string wanted = qv::sys::WantedCommonDataDir();
    if (wanted.back() != '/') wanted += '/';
    if (IsDirectory(wanted)) return qv::sys::CommonDataDirOrProgramDir(wanted, ownFolder);
    // Not there yet. When the game could make it, it will, at its first
    // start; until then there is nowhere to install to.
    const std::string nearest = NearestExisting(wanted);
    if (IsDirectory(nearest) && qv::sys::AcceptsTestFile(nearest)) return {};
    return ownFolder;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CopyContents(int from, int to) {
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!WriteAll(to, buffer, static_cast<std::size_t>(n))) return false;
    }
}

// Copies `source` to `target` through a temporary file beside the target.
bool CopyReplacing(const std::string& source, const std::string& folder, const std::string& name) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    std::string temp = folder + "." + name + ".XXXXXX";
    const int out = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = CopyContents(in, out) && ::fchmod(out, 0644) == 0 && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    ok = ok && ::rename(temp.c_str(), (folder + name).c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return kNoArgument;
    const std::string name = argv[1];
    const std::string ownFolder = qv::sys::ExecutableFolder();
    if (ownFolder.empty()) return kFolderUnknown;
    if (!IsPlainName(name)) return kCopyFailed;

    const std::string source = ownFolder + name;
    const std::string folder = TargetFolder(ownFolder);
    if (folder.empty()) return kCopyFailed;
    if (folder == ownFolder) {
        // The game reads its packages from this very folder: the package is
        // in place once it is there.
        struct stat st {};
        if (::stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return kCopyFailed;
    } else if (!CopyReplacing(source, folder, name)) {
        return kCopyFailed;
    }

    // A game that is not running, or does not answer in time, is no failure.
    qv::sys::TInstanceMessage message;
    message.dwData = qv::sys::kScenarioInstalledMessage;
    qv::sys::SendInstanceMessage(qv::sys::InstanceSocketPath(), message);
    return kCopied;
}
