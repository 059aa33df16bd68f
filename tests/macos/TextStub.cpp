#include "TextStub.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace MachOTest {
namespace {

// One "key: [ a, b, ... ]" entry, its list gathered over the lines it spans.
struct Entry {
    bool topLevel = false; // at the start of its line: a section such as "exports:"
    bool listItem = false; // "- key:", the first key of a section's list item
    std::string key;
    std::vector<std::string> values;
};

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t'\"");
    const auto last = text.find_last_not_of(" \t'\"");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::vector<Entry> entries(std::istream& in) {
    std::vector<Entry> out;
    for (std::string line; std::getline(in, line);) {
        const auto colon = line.find(':');
        if (colon == std::string::npos || line.starts_with("---")) {
            continue;
        }
        Entry e;
        e.topLevel = line.find_first_not_of(' ') == 0;
        std::string key = line.substr(0, colon);
        e.listItem = trim(key).starts_with("- ");
        e.key = trim(e.listItem ? trim(key).substr(2) : key);
        std::string list = line.substr(colon + 1);
        if (list.find('[') != std::string::npos) {
            while (list.find(']') == std::string::npos && std::getline(in, line)) {
                list += line;
            }
            std::istringstream items(
                list.substr(list.find('[') + 1, list.find(']') - list.find('[') - 1));
            for (std::string item; std::getline(items, item, ',');) {
                if (!trim(item).empty()) {
                    e.values.push_back(trim(item));
                }
            }
        }
        out.push_back(std::move(e));
    }
    return out;
}

} // namespace

std::set<std::string> stubExports(const std::filesystem::path& stub, const std::string& target) {
    std::ifstream in(stub);
    if (!in) {
        throw std::runtime_error("cannot read " + stub.string());
    }
    std::set<std::string> symbols;
    std::string section;
    bool forTarget = false;
    for (const Entry& e : entries(in)) {
        if (e.topLevel) {
            section = e.key;
        } else if (e.listItem && e.key == "targets") {
            forTarget = std::find(e.values.begin(), e.values.end(), target) != e.values.end();
        } else if ((section == "exports" || section == "reexports") && forTarget &&
                   (e.key == "symbols" || e.key == "weak-symbols" ||
                    e.key == "thread-local-symbols")) {
            symbols.insert(e.values.begin(), e.values.end());
        }
    }
    return symbols;
}

} // namespace MachOTest
