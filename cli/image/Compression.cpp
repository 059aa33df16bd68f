#include "cli/image/Compression.h"

#include "cli/core/CliError.h"

#include <algorithm>
#include <cctype>

namespace OndrelCli {
namespace {

struct Method {
    std::string name;
    std::vector<CompressionAttribute> attributes; // none: the library's own choice
};

// libpng's row filters (png.h's PNG_FILTER_*): a row is stored as the difference from the pixel
// to its left (sub) or above (up), whichever libpng finds smaller; a shape over a gradient then
// leaves mostly runs, which zlib's run-length strategy packs about as tightly as its default
// strategy, in a quarter of the time.
constexpr int pngFilterNone = 8;
constexpr int pngFilterSub = 16;
constexpr int pngFilterUp = 32;
constexpr int pngAllFilters = 248;

// The deflate levels a method may name ("zip:6").
constexpr int lowestLevel = 1;
constexpr int highestLevel = 9;

// The levels a format takes: fast, default, small and none.
std::vector<Method> levels(const std::string& format) {
    if (format == "png") {
        return {{"fast", {{"png:filter", pngFilterSub | pngFilterUp}, {"compression", "rle"}}},
                {"default", {}},
                {"small", {{"png:compressionLevel", 9}, {"png:filter", pngAllFilters}}},
                {"none", {{"png:compressionLevel", 0}, {"png:filter", pngFilterNone}}}};
    }
    if (format == "openexr") {
        // PIZ, a wavelet and Huffman coder, packs float pixels nearly as tightly as zip in half
        // the time; OpenEXR compresses its blocks of 32 rows on several threads.
        return {{"fast", {{"compression", "piz"}}},
                {"default", {}},
                {"small", {{"compression", "zip:9"}}},
                {"none", {{"compression", "none"}}}};
    }
    if (format == "tiff") {
        return {{"fast", {{"compression", "lzw"}}},
                {"default", {}},
                {"small", {{"compression", "zip"}, {"tiff:zipquality", highestLevel}}},
                {"none", {{"compression", "none"}}}};
    }
    if (format.empty()) {
        return {{"fast", {}}, {"default", {}}, {"small", {}}, {"none", {}}};
    }
    // Formats whose compression the command leaves to their library.
    return {{"fast", {}}, {"default", {}}};
}

// The methods a format has its own names for.
std::vector<Method> ownMethods(const std::string& format) {
    std::vector<Method> list;
    if (format == "openexr") {
        for (const char* own : {"rle", "zip", "zips", "piz"}) {
            list.push_back({own, {{"compression", own}}});
        }
        for (const char* levelled : {"zip", "zips"}) {
            for (int level = lowestLevel; level <= highestLevel; ++level) {
                const std::string name = levelled + (":" + std::to_string(level));
                list.push_back({name, {{"compression", name}}});
            }
        }
    } else if (format == "tiff") {
        for (const char* own : {"lzw", "zip", "packbits"}) {
            list.push_back({own, {{"compression", own}}});
        }
        for (int level = lowestLevel; level <= highestLevel; ++level) {
            list.push_back({"zip:" + std::to_string(level),
                            {{"compression", "zip"}, {"tiff:zipquality", level}}});
        }
    }
    return list;
}

std::vector<Method> methods(const std::string& format) {
    std::vector<Method> list = levels(format);
    for (Method& own : ownMethods(format)) {
        list.push_back(std::move(own));
    }
    return list;
}

std::vector<std::string> namesOf(const std::vector<Method>& list) {
    std::vector<std::string> names;
    for (const Method& method : list) {
        names.push_back(method.name);
    }
    return names;
}

std::string formatLabel(const std::string& format) {
    if (format == "openexr") {
        return "OpenEXR";
    }
    std::string label = format;
    std::transform(label.begin(), label.end(), label.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return label;
}

// "fast, default, zip:1 to zip:9 and packbits": a run of levels is named by its ends.
std::string listed(const std::vector<std::string>& names) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string first = ":" + std::to_string(lowestLevel);
        const std::string& name = names[i];
        if (name.size() > first.size() &&
            name.compare(name.size() - first.size(), first.size(), first) == 0) {
            const std::string stem = name.substr(0, name.size() - first.size());
            items.push_back(name + " to " + stem + ":" + std::to_string(highestLevel));
            i += highestLevel - lowestLevel;
        } else {
            items.push_back(name);
        }
    }
    std::string text = items.front();
    for (std::size_t i = 1; i < items.size(); ++i) {
        text += (i + 1 == items.size() ? " or " : ", ") + items[i];
    }
    return text;
}

} // namespace

std::vector<std::string> compressionNames(const std::string& format) {
    return namesOf(methods(format));
}

void checkCompression(const std::string& name, const std::string& format) {
    const auto takes = [&name](const std::string& f) {
        const std::vector<std::string> names = compressionNames(f);
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    if (!format.empty() && !takes(format)) {
        throw UsageError(formatLabel(format) + " files take " + listed(compressionNames(format)));
    }
    if (format.empty() && !takes("") && !takes("openexr") && !takes("tiff")) {
        throw UsageError("expected " + listed(namesOf(levels(""))) + ", or OpenEXR's " +
                         listed(namesOf(ownMethods("openexr"))) + ", or TIFF's " +
                         listed(namesOf(ownMethods("tiff"))));
    }
}

std::vector<CompressionAttribute> compressionAttributes(const std::string& name,
                                                        const std::string& format) {
    for (const Method& method : methods(format)) {
        if (method.name == name) {
            return method.attributes;
        }
    }
    return {};
}

} // namespace OndrelCli
