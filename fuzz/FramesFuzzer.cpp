// A libFuzzer target: the frame numbers, rates, key times and file-name patterns users type
// (--frames, --fps, VALUE@TIME, -o out.####.exr). It stops (and libFuzzer keeps the input) on a
// sanitizer report, on any failure but a reader's own refusal (a CliError), and when what a reader
// accepts does not write back as text that reads back the same, or breaks a promise of its own:
// frames sorted and each once within range, a rate from 1 to 1000, distinct frames in distinct
// files.
//
// The input's first byte picks the reader; the rest is the text.

#include "FuzzInput.h"

#include "cli/core/CliError.h"
#include "cli/core/Frames.h"
#include "cli/params/Keyframes.h"
#include "cli/shot/FramePattern.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

using namespace OndrelCli;
using OndrelFuzz::Bytes;
using OndrelFuzz::stop;

namespace {

// A range of millions of frames costs the reader time in proportion and would hold up every run
// that finds one: a text with a dash and a number of more than five digits is passed over. Single
// frames of any size, and ranges of up to 99999 frames, are still read.
bool wideRange(const std::string& text) {
    if (text.find('-') == std::string::npos) {
        return false;
    }
    int digits = 0;
    for (const char c : text) {
        digits = std::isdigit(static_cast<unsigned char>(c)) ? digits + 1 : 0;
        if (digits > 5) {
            return true;
        }
    }
    return false;
}

void frames(const std::string& text) {
    if (wideRange(text)) {
        return;
    }
    const std::vector<int> read = parseFrames(text);
    if (read.empty() || !std::is_sorted(read.begin(), read.end()) ||
        std::adjacent_find(read.begin(), read.end()) != read.end() || read.front() < 0 ||
        read.back() > maxFrameNumber) {
        stop("frames out of order, repeated or out of range from \"" + text + "\"");
    }
    if (parseFrames(framesText(read)) != read) {
        stop("\"" + framesText(read) + "\" does not read back as the frames of \"" + text + "\"");
    }
}

void rate(const std::string& text) {
    const FrameRate read = parseFrameRate(text);
    const auto den = static_cast<unsigned long long>(read.den);
    if (read.den < 1 || read.num < den || read.num > 1000 * den) {
        stop("a rate outside 1 to 1000 from \"" + text + "\": " + read.text());
    }
    const FrameRate again = parseFrameRate(read.text());
    if (again.num != read.num || again.den != read.den) {
        stop("\"" + read.text() + "\" does not read back as the rate of \"" + text + "\"");
    }
}

void keyTime(const std::string& text) {
    const KeyTime read = parseKeyTime(text);
    const KeyTime again = parseKeyTime(read.text());
    if (again.amount != read.amount || again.inSeconds != read.inSeconds) {
        stop("\"" + read.text() + "\" does not read back as the time of \"" + text + "\"");
    }
}

void pattern(const std::string& text) {
    const FramePattern files(text);
    if (!files.isSequence()) {
        if (files.frame(7) != files.path()) {
            stop("a single file \"" + text + "\" names frames of its own");
        }
        return;
    }
    const int frames[] = {0, 1, 7, 10, 999, 1000, 12345, maxFrameNumber};
    for (const int a : frames) {
        for (const int b : frames) {
            if (a != b && files.frame(a) == files.frame(b)) {
                stop("frames " + std::to_string(a) + " and " + std::to_string(b) + " of \"" + text +
                     "\" are one file, " + files.frame(a).string());
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const unsigned reader = in.pick(4);
    const std::string text(in.rest());
    try {
        switch (reader) {
        case 0:
            frames(text);
            break;
        case 1:
            rate(text);
            break;
        case 2:
            keyTime(text);
            break;
        default:
            pattern(text);
            break;
        }
    } catch (const CliError&) {
    }
    return 0;
}
