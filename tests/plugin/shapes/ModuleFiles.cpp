#include "ModuleFiles.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace ModuleFiles {

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + file.string());
    }
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file) {
    const std::string text = readText(file);
    return {text.begin(), text.end()};
}

} // namespace ModuleFiles
