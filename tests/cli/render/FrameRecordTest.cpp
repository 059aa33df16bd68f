// The record a sequence keeps of the frames it finished: one line a frame, written by renders that
// share a folder without losing each other's lines, and trusted by --skip-existing only while
// the file is the one it wrote.

#include "tests/cli/CliTestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <sstream>

namespace {

using namespace CliTest;

using FrameRecordTest = RenderCommand;

const std::string shot = "render OndrelCircle --size 40x30 --depth 16 --set Radius=3@1,12@8 ";

std::string frameName(int n) {
    char text[32];
    std::snprintf(text, sizeof text, "f.%04d.png", n);
    return text;
}

// The record's lines by frame name, each split at its tabs; every line must have seven fields.
std::map<std::string, std::vector<std::string>> recordLines(const fs::path& folder) {
    std::map<std::string, std::vector<std::string>> lines;
    std::istringstream in(readFile(folder / OndrelCli::frameRecordName));
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) {
            fields.push_back(field);
        }
        EXPECT_EQ(fields.size(), 7u) << line;
        lines[fields.at(0)] = fields;
    }
    return lines;
}

void setModified(const fs::path& file, const struct stat& like) {
    const struct timespec times[2] = {like.st_atim, like.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

TEST_F(FrameRecordTest, EachFinishedFrameHasALineOfWhatItIs) {
    ASSERT_EQ(command(shot + "--frames 1-8 -q -o f.####.png").status, 0);
    const auto lines = recordLines(folder);
    ASSERT_EQ(lines.size(), 8u);
    for (int n = 1; n <= 8; ++n) {
        const fs::path file = folder / frameName(n);
        struct stat written {};
        ASSERT_EQ(::stat(file.c_str(), &written), 0);
        const auto& fields = lines.at(frameName(n));
        EXPECT_EQ(fields[1], std::to_string(written.st_size));
        EXPECT_EQ(fields[3], std::to_string(written.st_ino));
        EXPECT_EQ(fields[4] + "x" + fields[5] + "x" + fields[6], "40x30x16");
    }
    // A single frame keeps no record, and no file but its own is written.
    fs::create_directory(folder / "one");
    ASSERT_EQ(command(shot + "-q -o one/frame.png").status, 0);
    EXPECT_FALSE(fs::exists(folder / "one" / OndrelCli::frameRecordName));
}

TEST_F(FrameRecordTest, SkipExistingTrustsTheRecordOnlyForTheFileItWrote) {
    ASSERT_EQ(command(shot + "--frames 1-6 -q -o f.####.png").status, 0);
    ASSERT_EQ(command(shot + "--frames 1-6 -q -o clean.####.png").status, 0);
    const auto statOf = [&](int n) {
        struct stat s {};
        EXPECT_EQ(::stat((folder / frameName(n)).c_str(), &s), 0);
        return s;
    };
    // Frame 2: other bytes of the same length written into the same file, its time put back.
    // Nothing but reading its pixels could tell, and the record is there to spare that.
    const struct stat two = statOf(2);
    const std::string garbage(static_cast<std::size_t>(two.st_size), 'x');
    {
        std::fstream out(folder / frameName(2), std::ios::in | std::ios::out | std::ios::binary);
        out.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    setModified(folder / frameName(2), two);
    // Frame 3: one byte more. Frame 4: the same bytes, but a copy in another file. Frame 5: the
    // same file and bytes, a later time. Each is no longer what the record saw.
    std::ofstream(folder / frameName(3), std::ios::app | std::ios::binary) << 'x';
    fs::copy_file(folder / frameName(4), folder / "copy.png");
    fs::rename(folder / "copy.png", folder / frameName(4));
    const struct stat five = statOf(5);
    struct stat later = five;
    later.st_mtim.tv_sec += 10;
    setModified(folder / frameName(5), later);
    const std::string fiveBytes = bytes(frameName(5));
    // Frame 6: over it a frame of another size, which ondrel recorded as such.
    ASSERT_EQ(
        command("render OndrelCircle --size 20x15 --depth 16 --frames 6 -q -o f.####.png").status,
        0);

    const Outcome resumed = command(shot + "--frames 1-6 --skip-existing -o f.####.png");
    ASSERT_EQ(resumed.status, 0) << resumed.errors;
    EXPECT_EQ(bytes(frameName(2)), garbage); // trusted, not read
    for (const int n : {1, 4, 5}) {
        EXPECT_NE(resumed.output.find(frameName(n) + " is there, skipped"), std::string::npos)
            << n << resumed.output;
    }
    EXPECT_EQ(bytes(frameName(5)), fiveBytes);
    // Read back, found not whole, and rendered again.
    for (const int n : {3, 6}) {
        EXPECT_NE(resumed.errors.find("frame " + std::to_string(n) + ": "), std::string::npos)
            << n << resumed.errors;
        char clean[32];
        std::snprintf(clean, sizeof clean, "clean.%04d.png", n);
        EXPECT_EQ(bytes(frameName(n)), bytes(clean)) << n;
    }
    EXPECT_NE(resumed.output.find("2 frames rendered"), std::string::npos) << resumed.output;
    EXPECT_NE(resumed.output.find("; 4 already there, checked in "), std::string::npos)
        << resumed.output;
    // The frames rendered again have lines of their own now, read after the old ones.
    const auto lines = recordLines(folder);
    EXPECT_EQ(lines.at(frameName(6))[4] + "x" + lines.at(frameName(6))[5], "40x30");
}

TEST_F(FrameRecordTest, RendersWritingOneFolderAtOnceKeepEachOthersLines) {
    // A line cut short, as a full disk leaves it: it spoils no line written after it.
    std::ofstream(folder / OndrelCli::frameRecordName, std::ios::binary) << "f.0099.png\t12";
    constexpr int chunks = 4;
    constexpr int framesEach = 10;
    std::string together;
    for (int c = 0; c < chunks; ++c) {
        together += "'" ONDREL_CLI_PATH "' --module '" ONDREL_MODULE_PATH "' " + shot +
                    "--jobs 2 -q --frames " + std::to_string(c * framesEach + 1) + "-" +
                    std::to_string((c + 1) * framesEach) + " -o f.####.png & ";
    }
    ASSERT_EQ(shell("(" + together + "wait)").status, 0);
    const std::string text = readFile(folder / OndrelCli::frameRecordName);
    ASSERT_EQ(text.rfind("f.0099.png\t12\n", 0), 0u) << text.substr(0, 40);
    std::istringstream rest(text.substr(text.find('\n') + 1));
    std::set<std::string> named;
    for (std::string line; std::getline(rest, line);) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 6) << line;
        named.insert(line.substr(0, line.find('\t')));
    }
    EXPECT_EQ(named.size(), static_cast<std::size_t>(chunks * framesEach));
    // Each chunk's frames are known whole; none is read or rendered again.
    const Outcome resumed = command(shot + "--frames 1-" + std::to_string(chunks * framesEach) +
                                    " --skip-existing -o "
                                    "f.####.png");
    ASSERT_EQ(resumed.status, 0) << resumed.errors;
    EXPECT_EQ(resumed.errors, "");
    EXPECT_NE(resumed.output.find("0 frames rendered"), std::string::npos) << resumed.output;
    // The record is no temporary of a frame: a render that clears those keeps it.
    EXPECT_TRUE(fs::exists(folder / OndrelCli::frameRecordName));
}

} // namespace
