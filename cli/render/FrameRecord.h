#pragma once

// What ondrel knows of the frames it wrote and finished in a folder, so that --skip-existing can
// leave them alone without reading their pixels back. The record is a file beside the frames,
// ".ondrel-frames", one line per frame finished: its name, its size, its time of last change, its
// inode, and the width, height and bits per channel it holds. A frame whose file still has that
// size, time and inode was finished as recorded, since any write or replacement changes them.
//
// Lines are only ever appended, each under a lock of the record (fcntl, which network file
// systems honour), so renders writing one folder at once (a cluster's chunks) never lose each
// other's lines. The last line of a name is the one that counts; a line that cannot be read
// vouches for nothing.

#include "host/pixels/PixelDepth.h"

#include "AE_Effect.h"

#include <filesystem>
#include <map>
#include <string>
#include <sys/types.h>

namespace OndrelCli {

inline constexpr const char* frameRecordName = ".ondrel-frames";

// Appends the line of `frame`, just written and renamed into place, holding width x height at
// depth. A record that cannot be written only costs a resume the reading of the frame.
void recordFinishedFrame(const std::filesystem::path& frame, A_long width, A_long height,
                         OfflineHost::PixelDepth depth);

class FrameRecord {
public:
    // The record of `folder`; empty when it has none or it cannot be read.
    explicit FrameRecord(const std::filesystem::path& folder);

    // Whether the record vouches that `frame`, a file of the folder, is whole and holds
    // width x height at depth.
    bool vouchesFor(const std::filesystem::path& frame, A_long width, A_long height,
                    OfflineHost::PixelDepth depth) const;

private:
    struct Line {
        std::uintmax_t bytes = 0;
        long long modified = 0; // nanoseconds since the epoch
        ino_t inode = 0;
        A_long width = 0;
        A_long height = 0;
        int bits = 0;
    };
    std::map<std::string, Line> m_lines; // by frame name
};

} // namespace OndrelCli
