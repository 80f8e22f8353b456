// The file layer's writer thread, as the rest of the layer sees it: what is
// still to be written or removed for a path, so that reads, existence checks,
// removals and direct writes of that path keep the order in which the
// program asked for them. Internal to platform/system.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qv::sys::later {

// What the queued writes and removals of a path will leave there.
struct TQueuedState {
    bool Queued = false;                      // nothing queued: the disk tells
    std::shared_ptr<const std::string> Data;  // null where a removal comes last
};
TQueuedState QueuedState(const std::string& path);

// A removal of `path`: after what is queued for it when something is,
// otherwise at once. Returns whether it is (or will be) gone.
bool Remove(const std::string& path, bool (*removeNow)(const std::string&));

// A direct write of `path`: where something is queued for it (and this is
// not the writer thread) it is queued behind that and waited for; nullopt
// where the caller writes it itself.
std::optional<bool> WriteBehindQueued(const std::string& path, std::string_view data, mode_t mode,
                                      std::string* error);

// The flush of a replacement file about to be committed (tests make it
// slow, as a busy disk is).
void BeforeFlush(const std::string& path);

}  // namespace qv::sys::later
