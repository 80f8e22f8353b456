// vantry <file>: installs the scenario package <file>, which lies in this
// program's own folder, into the common data folder, then tells a running
// Quorvex to rescan its scenarios. No user interface: the exit code is the
// whole answer.
//
//   0  copied (whether or not a game was running)
//   1  not used (kept free: the folder rule needs no library to be loaded)
//   2  the folders could not be determined (this program's own folder is
//      unreadable)
//   3  not copied: a name with a folder part; the source missing, a link,
//      not a regular file or larger than the game loads; the common folder
//      missing, or not usable and this program not beside the game; the
//      target not writable. A line on stderr says why.
//   4  no argument
//
// Further arguments are ignored. The common folder is never created here:
// the game creates it at its first start, so installing before that fails
// with 3. The copy goes to a new file beside the target, which is then
// renamed over the target, so a running game never sees a half-written
// package; it is readable by others only as far as the source is. The new
// files that earlier copies killed mid-way left in the common folder are
// removed first; a file size limit fails the copy (3), it does not end the
// program by signal.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/system/CommonDataFolder.h"
#include "platform/system/FileCore.h"
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

int Refuse(const std::string& why) {
    std::fprintf(stderr, "vantry: %s\n", why.c_str());
    return kCopyFailed;
}

// Copies `source`, opened and checked, to `target` through a new file beside it.
bool CopyReplacing(const qv::sys::TReadableFile& source, const std::string& target, std::string& error) {
    qv::sys::TReplacementFile out(target, source.Mode() & 0644);
    if (!out.Create(&error)) return false;
    char buffer[64 * 1024];
    std::uint64_t copied = 0;
    for (;;) {
        const ssize_t n = ::read(source.Fd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::string("Cannot read the package: ") + std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        copied += static_cast<std::uint64_t>(n);
        // The file may grow while it is copied.
        if (copied > qv::sys::kMaxScenarioPackageSize) {
            error = "The package grew past the largest size the game loads";
            return false;
        }
        if (!out.Write(buffer, static_cast<std::size_t>(n), &error)) return false;
    }
    return out.Commit(&error);
}

}  // namespace

int main(int argc, char** argv) {
    // Past the file size limit the copy fails (3) instead of killing us.
    qv::sys::IgnoreFileSizeSignal();
    if (argc < 2) return kNoArgument;
    const std::string name = argv[1];
    const std::string ownFolder = qv::sys::ExecutableFolder();
    if (ownFolder.empty()) return kFolderUnknown;
    if (!IsPlainName(name)) return Refuse("\"" + name + "\" is not a plain file name");

    const std::string source = ownFolder + name;
    const std::string folder = TargetFolder(ownFolder);
    if (folder.empty()) return Refuse("the common data folder " + qv::sys::WantedCommonDataDir() + " does not exist yet");
    if (folder == ownFolder && qv::sys::InspectFile(ownFolder + qv::sys::kProgramPackName,
                                                    qv::sys::LinkRule::Follow) != qv::sys::FileStatus::Ok)
        return Refuse("the common data folder " + qv::sys::WantedCommonDataDir() +
                      " cannot be used and the game does not lie beside this program");
    // Never through a link: it may point at any file this user can read.
    const auto package = qv::sys::TReadableFile::Open(source, qv::sys::LinkRule::Refuse, qv::sys::kMaxScenarioPackageSize);
    if (package.Status() != qv::sys::FileStatus::Ok) return Refuse(package.Error());
    if (folder != ownFolder) {
        // What copies killed mid-way left there (only this user's, unlocked).
        qv::sys::RemoveStaleTemporaries(folder);
        std::string error;
        if (!CopyReplacing(package, folder + name, error)) return Refuse(error);
    }
    // Otherwise the game reads its packages from this very folder: the
    // package is in place once it is there.

    // A game that is not running, or does not answer in time, is no failure.
    qv::sys::TInstanceMessage message;
    message.dwData = qv::sys::kScenarioInstalledMessage;
    qv::sys::SendInstanceMessage(qv::sys::InstanceSocketPath(), message);
    return kCopied;
}
