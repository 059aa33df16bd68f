#include "cli/render/FrameRecord.h"

#include "cli/terminal/TemporaryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace OndrelCli {

namespace fs = std::filesystem;

namespace {

long long nanoseconds(const struct timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

template <typename Number>
bool parsed(const std::string& text, Number& value) {
    const char* end = text.data() + text.size();
    const auto [stop, err] = std::from_chars(text.data(), end, value);
    return err == std::errc() && stop == end;
}

// Writes all of text at the end of the open file.
void appendAll(int fd, const std::string& text) {
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n <= 0) {
            return;
        }
        written += static_cast<std::size_t>(n);
    }
}

} // namespace

void recordFinishedFrame(const fs::path& frame, A_long width, A_long height,
                         OfflineHost::PixelDepth depth) {
    const fs::path file = linkedFile(frame);
    struct stat written {};
    if (::stat(file.c_str(), &written) != 0) {
        return;
    }
    std::ostringstream line;
    line << file.filename().string() << '\t' << written.st_size << '\t'
         << nanoseconds(written.st_mtim) << '\t' << written.st_ino << '\t' << width << '\t'
         << height << '\t' << OfflineHost::bitsPerChannel(depth) << '\n';
    const fs::path record = folderOf(file) / frameRecordName;
    const int fd = ::open(record.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    while (::fcntl(fd, F_SETLKW, &whole) != 0 && errno == EINTR) {
    }
    // A line cut short by a full disk is ended first, so that it spoils no line after it.
    std::string text = line.str();
    struct stat now {};
    char last = '\n';
    if (::fstat(fd, &now) == 0 && now.st_size > 0 && ::pread(fd, &last, 1, now.st_size - 1) == 1 &&
        last != '\n') {
        text.insert(text.begin(), '\n');
    }
    appendAll(fd, text);
    ::close(fd); // and with it the lock
}

FrameRecord::FrameRecord(const fs::path& folder) {
    std::ifstream in(folder / frameRecordName);
    std::string text;
    while (std::getline(in, text)) {
        std::vector<std::string> fields;
        std::istringstream split(text);
        for (std::string field; std::getline(split, field, '\t');) {
            fields.push_back(field);
        }
        Line line;
        if (fields.size() == 7 && !fields[0].empty() && parsed(fields[1], line.bytes) &&
            parsed(fields[2], line.modified) && parsed(fields[3], line.inode) &&
            parsed(fields[4], line.width) && parsed(fields[5], line.height) &&
            parsed(fields[6], line.bits)) {
            m_lines[fields[0]] = line;
        } else if (!fields.empty()) {
            m_lines.erase(fields[0]); // the name's last line says nothing sure
        }
    }
}

bool FrameRecord::vouchesFor(const fs::path& frame, A_long width, A_long height,
                             OfflineHost::PixelDepth depth) const {
    const fs::path file = linkedFile(frame);
    const auto found = m_lines.find(file.filename().string());
    struct stat now {};
    if (found == m_lines.end() || ::stat(file.c_str(), &now) != 0) {
        return false;
    }
    const Line& line = found->second;
    return S_ISREG(now.st_mode) && static_cast<std::uintmax_t>(now.st_size) == line.bytes &&
           nanoseconds(now.st_mtim) == line.modified && now.st_ino == line.inode &&
           line.width == width && line.height == height &&
           line.bits == OfflineHost::bitsPerChannel(depth);
}

} // namespace OndrelCli
