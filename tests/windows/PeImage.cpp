#include "PeImage.h"

#include "tests/support/Files.h"

#include <algorithm>
#include <stdexcept>

namespace PeTest {
namespace {

constexpr std::uint16_t pe32Plus = 0x20B;
constexpr std::size_t exportTable = 0;
constexpr std::size_t importTable = 1;
constexpr std::size_t resourceTable = 2;
constexpr std::size_t delayImportTable = 13;
constexpr std::uint32_t highBit = 0x80000000;

[[noreturn]] void malformed(const std::string& what) {
    throw std::runtime_error("malformed PE image: " + what);
}

} // namespace

PeImage::PeImage(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {
    if (m_bytes.size() < 0x40 || m_bytes[0] != 'M' || m_bytes[1] != 'Z') {
        malformed("no MZ header");
    }
    const std::size_t pe = _u32(0x3C);
    if (_u32(pe) != 0x00004550) { // "PE\0\0"
        malformed("no PE signature");
    }
    m_machine = _u16(pe + 4);
    const std::uint16_t sectionCount = _u16(pe + 6);
    const std::uint16_t optionalSize = _u16(pe + 20);
    m_characteristics = _u16(pe + 22);
    const std::size_t optional = pe + 24;
    if (_u16(optional) != pe32Plus) {
        malformed("not PE32+");
    }
    const std::uint32_t directoryCount = _u32(optional + 108);
    for (std::uint32_t i = 0; i < directoryCount; ++i) {
        m_directories.push_back({_u32(optional + 112 + 8 * i), _u32(optional + 116 + 8 * i)});
    }
    m_directories.resize(std::max<std::size_t>(m_directories.size(), 16));
    for (std::size_t i = 0, at = optional + optionalSize; i < sectionCount; ++i, at += 40) {
        m_sections.push_back(
            {_u32(at + 12), _u32(at + 8), _u32(at + 16), _u32(at + 20), _u32(at + 36)});
    }
}

PeImage PeImage::read(const std::filesystem::path& file) {
    return PeImage(TestSupport::readBytes(file));
}

std::uint16_t PeImage::_u16(std::size_t offset) const {
    if (offset + 2 > m_bytes.size()) {
        malformed("read beyond the end at " + std::to_string(offset));
    }
    return static_cast<std::uint16_t>(m_bytes[offset] | m_bytes[offset + 1] << 8);
}

std::uint32_t PeImage::_u32(std::size_t offset) const {
    return _u16(offset) | static_cast<std::uint32_t>(_u16(offset + 2)) << 16;
}

std::size_t PeImage::_offset(std::uint32_t address) const {
    for (const Section& s : m_sections) {
        if (address >= s.address && address - s.address < s.rawSize) {
            return s.rawOffset + (address - s.address);
        }
    }
    malformed("address " + std::to_string(address) + " lies in no section's data");
}

std::string PeImage::_string(std::uint32_t address) const {
    std::string text;
    for (std::size_t at = _offset(address); m_bytes.at(at) != 0; ++at) {
        text += static_cast<char>(m_bytes[at]);
    }
    return text;
}

bool PeImage::isCode(std::uint32_t address) const {
    constexpr std::uint32_t containsCode = 0x20;
    constexpr std::uint32_t executable = 0x20000000;
    for (const Section& s : m_sections) {
        if (address >= s.address && address - s.address < std::max(s.virtualSize, s.rawSize)) {
            return (s.characteristics & (containsCode | executable)) != 0;
        }
    }
    return false;
}

std::uint32_t PeImage::exportedAddressCount() const {
    const Directory& table = m_directories[exportTable];
    return table.address == 0 ? 0 : _u32(_offset(table.address) + 20);
}

std::vector<Export> PeImage::namedExports() const {
    const Directory& table = m_directories[exportTable];
    if (table.address == 0) {
        return {};
    }
    const std::size_t at = _offset(table.address);
    const std::uint32_t count = _u32(at + 24);
    const std::size_t functions = _offset(_u32(at + 28));
    const std::size_t names = _offset(_u32(at + 32));
    const std::size_t ordinals = _offset(_u32(at + 36));
    std::vector<Export> out;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint16_t ordinal = _u16(ordinals + 2 * i);
        out.push_back({_string(_u32(names + 4 * i)), _u32(functions + 4 * ordinal)});
    }
    return out;
}

std::vector<std::string> PeImage::_dllNames(const Directory& table, std::size_t entrySize,
                                            std::size_t nameField) const {
    std::vector<std::string> names;
    if (table.address == 0) {
        return names;
    }
    for (std::uint32_t entry = table.address;; entry += static_cast<std::uint32_t>(entrySize)) {
        const std::uint32_t name = _u32(_offset(entry) + nameField);
        if (name == 0) {
            return names;
        }
        names.push_back(_string(name));
    }
}

std::vector<std::string> PeImage::importedDlls() const {
    return _dllNames(m_directories[importTable], 20, 12);
}

std::vector<std::string> PeImage::delayLoadedDlls() const {
    return _dllNames(m_directories[delayImportTable], 32, 4);
}

// The resource tree has three levels, type, name and language; each entry is a number or an
// offset (high bit set) to a length-prefixed UTF-16 name, and leads to the next level's directory
// (high bit set) or, at the last level, to a data entry.
void PeImage::_resourceLevel(std::size_t directory, int level, Resource partial,
                             std::vector<Resource>& out) const {
    const std::size_t base = _offset(m_directories[resourceTable].address);
    const std::size_t at = base + directory;
    const std::size_t entries = _u16(at + 12) + static_cast<std::size_t>(_u16(at + 14));
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint32_t key = _u32(at + 16 + 8 * i);
        const std::uint32_t target = _u32(at + 20 + 8 * i);
        std::string label;
        if ((key & highBit) != 0) {
            const std::size_t name = base + (key & ~highBit);
            for (std::size_t c = 0; c < _u16(name); ++c) {
                label += static_cast<char>(_u16(name + 2 + 2 * c));
            }
        } else {
            label = "#" + std::to_string(key & 0xFFFF);
        }
        Resource r = partial;
        if (level == 0) {
            r.type = label;
        } else if (level == 1) {
            r.name = label;
        } else {
            r.language = static_cast<std::uint16_t>(key);
        }
        const bool subdirectory = (target & highBit) != 0;
        if (subdirectory != (level < 2)) {
            malformed("resource tree deeper or shallower than three levels");
        }
        if (subdirectory) {
            _resourceLevel(target & ~highBit, level + 1, r, out);
        } else {
            const std::size_t data = _offset(_u32(base + target));
            const std::uint32_t size = _u32(base + target + 4);
            if (data + size > m_bytes.size()) {
                malformed("resource data beyond the end");
            }
            r.data.assign(m_bytes.begin() + static_cast<std::ptrdiff_t>(data),
                          m_bytes.begin() + static_cast<std::ptrdiff_t>(data + size));
            out.push_back(std::move(r));
        }
    }
}

std::vector<Resource> PeImage::resources() const {
    std::vector<Resource> out;
    if (m_directories[resourceTable].address != 0) {
        _resourceLevel(0, 0, {}, out);
    }
    return out;
}

} // namespace PeTest
