#include "platform/system/KeyStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <set>
#include <vector>

#include "platform/system/Files.h"

namespace qv::sys {

namespace {

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// "[key]" gives key; anything else nothing.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') return line.substr(1, line.size() - 2);
    return std::nullopt;
}

// The key stores found unreadable in this run: never written over.
std::mutex& UntouchedLock() {
    static std::mutex lock;
    return lock;
}
std::set<std::string>& UntouchedStores() {
    static std::set<std::string> paths;
    return paths;
}
bool IsRegularFileAt(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsUntouched(const std::string& path) {
    std::lock_guard guard(UntouchedLock());
    return UntouchedStores().count(path) > 0;
}

// What the file is like besides its text: whose it is and its permissions.
struct TLoaded {
    TKeyStoreCheck check;
    bool exists = false;  // a regular file that was read
    uid_t owner = 0;
    mode_t mode = 0;
};

// The file's text (empty when missing, treated as absent or not used).
TLoaded Load(const std::string& path, std::string& text) {
    TLoaded loaded;
    TKeyStoreCheck& check = loaded.check;
    text.clear();
    std::string error;
    const TReadableFile file = TReadableFile::Open(path, LinkRule::Refuse, kMaxKeyStoreSize);
    FileStatus status = file.Status();
    if (status == FileStatus::Ok && file.LinkCount() != 1) {
        check = {TKeyStoreCheck::State::NotUsed,
                 path + " has " + std::to_string(file.LinkCount()) + " names (a hard link): not used"};
        return loaded;
    }
    status = ReadOpenedFile(file, path, kMaxKeyStoreSize, text, &error);
    switch (status) {
        case FileStatus::Ok:
            loaded.exists = true;
            loaded.owner = file.Owner();
            loaded.mode = file.Mode();
            break;
        case FileStatus::Missing:
            break;
        case FileStatus::NotRegular:
            // A regular file refused here is one another user may have put there.
            check = {IsRegularFileAt(path) ? TKeyStoreCheck::State::NotUsed : TKeyStoreCheck::State::Absent, error};
            break;
        case FileStatus::TooLarge:
        case FileStatus::Failed: {
            std::lock_guard guard(UntouchedLock());
            UntouchedStores().insert(path);
            check = {TKeyStoreCheck::State::Untouched, error};
            break;
        }
    }
    if (check.state != TKeyStoreCheck::State::Usable) text.clear();
    return loaded;
}

}  // namespace

TKeyStoreCheck TKeyStore::Check() const {
    std::string text;
    TKeyStoreCheck check = Load(path_, text).check;
    if (check.state == TKeyStoreCheck::State::Usable && IsUntouched(path_))
        check = {TKeyStoreCheck::State::Untouched, path_ + " could not be read earlier in this run"};
    return check;
}

std::optional<std::string> TKeyStore::ReadString(const std::string& key, const std::string& name) const {
    std::string text;
    Load(path_, text);
    bool inKey = false;
    for (const std::string& line : SplitLines(text)) {
        if (auto section = SectionName(line)) {
            inKey = SameText(*section, key);
            continue;
        }
        if (!inKey) continue;
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (SameText(Trim(std::string_view(line).substr(0, eq)), name)) {
            return std::string(Trim(std::string_view(line).substr(eq + 1)));
        }
    }
    return std::nullopt;
}

bool TKeyStore::WriteString(const std::string& key, const std::string& name, const std::string& value) const {
    if (value.find_first_of("\r\n") != std::string::npos || name.find_first_of("\r\n=[]") != std::string::npos ||
        key.find_first_of("\r\n]") != std::string::npos) {
        return false;
    }
    if (IsUntouched(path_)) return false;
    std::string text;
    const TLoaded loaded = Load(path_, text);
    if (loaded.check.state == TKeyStoreCheck::State::Untouched || loaded.check.state == TKeyStoreCheck::State::NotUsed)
        return false;
    // Root's file (or anyone else's trusted one) is read, never replaced.
    if (loaded.exists && loaded.owner != ::geteuid()) return false;
    std::vector<std::string> lines = SplitLines(text);

    const std::string entry = name + "=" + value;
    bool inKey = false, done = false;
    std::size_t keyEnd = std::string::npos;  // where a new value of the key goes
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        if (auto section = SectionName(lines[i])) {
            if (inKey) break;
            inKey = SameText(*section, key);
            if (inKey) keyEnd = i + 1;
            continue;
        }
        if (!inKey) continue;
        if (!Trim(lines[i]).empty()) keyEnd = i + 1;
        auto eq = lines[i].find('=');
        if (eq != std::string::npos && SameText(Trim(std::string_view(lines[i]).substr(0, eq)), name)) {
            lines[i] = entry;
            done = true;
        }
    }
    if (!done) {
        if (keyEnd == std::string::npos) {
            if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
            lines.push_back("[" + key + "]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(keyEnd), entry);
        }
    }
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    // Never readable by more users than the old file was.
    return WriteFileAtomic(path_, out, nullptr, loaded.exists ? loaded.mode & 0666 : 0644);
}

}  // namespace qv::sys
