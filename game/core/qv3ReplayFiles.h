// The replay packs kept in files. Per scenario slot N the per-user data
// folder holds "last<N>.gmp" (the last live game), "mybest<N>.gmp" (the
// game of the scenario's best score) and "worldbest<N>.gmp" (downloaded).
// A missing or unreadable file reads as an empty pack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "game/logic/qv3ReplayPack.h"

namespace qv {

// UserDataDir + "last<slot>.gmp", "mybest<slot>.gmp", "worldbest<slot>.gmp".
std::string LastReplayPath(int slot);
std::string MyBestReplayPath(int slot);
std::string WorldBestReplayPath(int slot);

// A replay file is a few tens of kilobytes (one level of input records); a
// larger one is refused unread.
inline constexpr std::size_t kMaxReplayFileSize = 16u * 1024 * 1024;

// A pack and the file it is kept in.
class TReplayFile : public TReplayPack {
public:
    // The pack of `fileName`: read when the file can be read, else empty;
    // a file larger than kMaxReplayFileSize is not read (a warning says so).
    explicit TReplayFile(std::string fileName);

    // Stores the logic's level as level LevelNumber and rewrites the file.
    // Throws EReplayPackError after the file has been written: "Invalid level
    // id: N/count/Finished/Won" (pack unchanged), "Error adding replay: ..."
    // (the pack emptied, as the file then is), "Error saving replay file:
    // ..." (the previous file left as it was).
    void AddLevelAndSave(TGameLogic& logic);
    void AddLevelAndSave(std::int32_t levelNumber, bool finished, bool won, const TRecordWriter& writeRecord);
    // The same, with the file written on the file layer's writer thread
    // (reads of it see the new pack at once): the frame that ends a level
    // never waits for the disk. A failed write is logged ("Error saving
    // replay file: ...", "Failed to record replay: ..."), the old file kept.
    void AddLevelAndSaveLater(TGameLogic& logic);

    std::string FileName;

private:
    enum class TWhen { Now, Later };
    void AddLevelAndSave(std::int32_t levelNumber, bool finished, bool won, const TRecordWriter& writeRecord,
                         TWhen when);
    void Save(TWhen when) const;
};

}  // namespace qv
