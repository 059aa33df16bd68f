#include "MachOImage.h"

#include <stdexcept>

namespace MachOTest {
namespace {

constexpr std::uint32_t fatMagic = 0xCAFEBABE;
constexpr std::uint32_t fatMagic64 = 0xCAFEBABF;
constexpr std::uint32_t magic64 = 0xFEEDFACF;
constexpr std::size_t headerSize = 32;

constexpr std::uint32_t commandSymtab = 0x2;
constexpr std::uint32_t commandSegment64 = 0x19;
constexpr std::uint32_t commandCodeSignature = 0x1D;
constexpr std::uint32_t commandLazyLoadDylib = 0x20;
constexpr std::uint32_t commandDyldInfo = 0x22;
constexpr std::uint32_t commandBuildVersion = 0x32;
constexpr std::uint32_t commandLoadWeakDylib = 0x80000018;
constexpr std::uint32_t commandReexportDylib = 0x8000001F;
constexpr std::uint32_t commandDyldInfoOnly = 0x80000022;
constexpr std::uint32_t commandLoadUpwardDylib = 0x80000023;
constexpr std::uint32_t commandDyldExportsTrie = 0x80000033;

constexpr std::uint32_t sectionPureInstructions = 0x80000000;
constexpr std::uint32_t sectionSomeInstructions = 0x00000400;

constexpr std::uint32_t superBlobMagic = 0xFADE0CC0;
constexpr std::uint32_t codeDirectoryMagic = 0xFADE0C02;
constexpr std::uint32_t codeDirectorySlot = 0;

constexpr std::uint64_t exportReexport = 0x08;
constexpr std::uint64_t exportStubAndResolver = 0x10;

[[noreturn]] void malformed(const std::string& what) {
    throw std::runtime_error("malformed Mach-O file: " + what);
}

void need(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size) {
    if (offset > bytes.size() || size > bytes.size() - offset) {
        malformed("read of " + std::to_string(size) + " bytes beyond the end at " +
                  std::to_string(offset));
    }
}

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    need(bytes, offset, 4);
    return static_cast<std::uint32_t>(bytes[offset]) << 24 |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
}

std::uint64_t bigEndian64(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint64_t>(bigEndian32(bytes, offset)) << 32 |
           bigEndian32(bytes, offset + 4);
}

// An unsigned LEB128 number at `at`, which moves past it; `end` bounds it.
std::uint64_t uleb(std::span<const std::uint8_t> bytes, std::size_t& at, std::size_t end) {
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (at >= end) {
            malformed("number runs past its table");
        }
        const std::uint8_t byte = bytes[at++];
        value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            return value;
        }
    }
    malformed("number longer than 64 bits");
}

} // namespace

std::vector<Slice> universalSlices(std::span<const std::uint8_t> file) {
    const std::uint32_t magic = bigEndian32(file, 0);
    if (magic != fatMagic && magic != fatMagic64) {
        malformed("not a universal file");
    }
    const bool wide = magic == fatMagic64;
    const std::uint32_t count = bigEndian32(file, 4);
    std::vector<Slice> slices;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = 8 + i * (wide ? 32U : 20U);
        Slice s;
        s.cpuType = bigEndian32(file, at);
        s.cpuSubtype = bigEndian32(file, at + 4);
        s.offset = wide ? bigEndian64(file, at + 8) : bigEndian32(file, at + 8);
        s.size = wide ? bigEndian64(file, at + 16) : bigEndian32(file, at + 12);
        s.alignLog2 = bigEndian32(file, at + (wide ? 24 : 16));
        need(file, s.offset, s.size);
        slices.push_back(s);
    }
    return slices;
}

MachOImage::MachOImage(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {
    if (_u32(0) != magic64) {
        malformed("not a 64-bit little-endian image");
    }
    m_cpuType = _u32(4);
    m_fileType = _u32(12);
    const std::uint32_t count = _u32(16);
    const std::uint32_t commandBytes = _u32(20);
    m_flags = _u32(24);
    need(m_bytes, headerSize, commandBytes);
    std::size_t at = headerSize;
    for (std::uint32_t i = 0; i < count; ++i) {
        const Command c{_u32(at), at, _u32(at + 4)};
        if (c.size < 8 || at + c.size > headerSize + commandBytes) {
            malformed("load command " + std::to_string(i) + " overruns the commands");
        }
        if (c.kind == commandSegment64) {
            if (_string(at + 8, 16) == "__TEXT") {
                m_imageBase = _u64(at + 24);
            }
            const std::uint32_t sections = _u32(at + 64);
            if (72 + static_cast<std::size_t>(sections) * 80 > c.size) {
                malformed("segment's sections overrun its command");
            }
            for (std::uint32_t s = 0; s < sections; ++s) {
                const std::size_t section = at + 72 + s * 80;
                m_sections.push_back({_u64(section + 32), _u64(section + 40), _u32(section + 64)});
            }
        }
        m_commands.push_back(c);
        at += c.size;
    }
}

std::uint32_t MachOImage::_u32(std::size_t offset) const {
    need(m_bytes, offset, 4);
    return static_cast<std::uint32_t>(m_bytes[offset]) |
           static_cast<std::uint32_t>(m_bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(m_bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(m_bytes[offset + 3]) << 24;
}

std::uint64_t MachOImage::_u64(std::size_t offset) const {
    return _u32(offset) | static_cast<std::uint64_t>(_u32(offset + 4)) << 32;
}

std::string MachOImage::_string(std::size_t offset, std::size_t limit) const {
    need(m_bytes, offset, 0);
    std::string text;
    for (std::size_t i = offset; i < m_bytes.size() && i - offset < limit && m_bytes[i] != 0; ++i) {
        text.push_back(static_cast<char>(m_bytes[i]));
    }
    return text;
}

const MachOImage::Command* MachOImage::_find(std::uint32_t kind) const {
    for (const Command& c : m_commands) {
        if (c.kind == kind) {
            return &c;
        }
    }
    return nullptr;
}

std::vector<Dylib> MachOImage::dylibs() const {
    std::vector<Dylib> out;
    for (const Command& c : m_commands) {
        if (c.kind == commandLoadDylib || c.kind == commandLoadWeakDylib ||
            c.kind == commandReexportDylib || c.kind == commandLazyLoadDylib ||
            c.kind == commandLoadUpwardDylib) {
            const std::uint32_t name = _u32(c.offset + 8);
            if (name >= c.size) {
                malformed("library name outside its command");
            }
            out.push_back({c.kind, _string(c.offset + name, c.size - name)});
        }
    }
    return out;
}

std::optional<BuildVersion> MachOImage::buildVersion() const {
    const Command* c = _find(commandBuildVersion);
    if (c == nullptr) {
        return std::nullopt;
    }
    return BuildVersion{_u32(c->offset + 8), _u32(c->offset + 12), _u32(c->offset + 16)};
}

std::vector<Export> MachOImage::exports() const {
    // Newer linkers give the trie a command of its own; older ones place it with the loader's
    // other tables.
    std::size_t trie = 0;
    std::size_t size = 0;
    const Command* info = _find(commandDyldInfoOnly);
    if (info == nullptr) {
        info = _find(commandDyldInfo);
    }
    if (const Command* c = _find(commandDyldExportsTrie)) {
        trie = _u32(c->offset + 8);
        size = _u32(c->offset + 12);
    } else if (info != nullptr) {
        trie = _u32(info->offset + 40);
        size = _u32(info->offset + 44);
    }
    std::vector<Export> out;
    if (size == 0) {
        return out;
    }
    need(m_bytes, trie, size);
    std::string prefix;
    _exportNode(trie, size, trie, prefix, 0, out);
    return out;
}

// A node: its terminal information (size, then flags and address) if a symbol ends here, then
// its children, each an edge's text and the child's offset from the trie's start.
void MachOImage::_exportNode(std::size_t trie, std::size_t trieSize, std::size_t node,
                             std::string& prefix, int depth, std::vector<Export>& out) const {
    const std::size_t end = trie + trieSize;
    if (depth > 256 || node >= end) {
        malformed("export trie node out of bounds or nested too deep");
    }
    std::size_t at = node;
    const std::uint64_t terminalSize = uleb(m_bytes, at, end);
    if (terminalSize > 0) {
        std::size_t info = at;
        Export e{prefix, uleb(m_bytes, info, end), 0};
        if ((e.flags & exportReexport) == 0) {
            e.address = uleb(m_bytes, info, end);
        }
        if ((e.flags & exportStubAndResolver) != 0) {
            uleb(m_bytes, info, end);
        }
        out.push_back(e);
    }
    at += terminalSize;
    if (at >= end) {
        malformed("export trie node without its child count");
    }
    const std::uint8_t children = m_bytes[at++];
    for (std::uint8_t i = 0; i < children; ++i) {
        const std::string edge = _string(at, end - at);
        at += edge.size() + 1;
        const std::uint64_t child = uleb(m_bytes, at, end);
        const std::size_t length = prefix.size();
        prefix += edge;
        _exportNode(trie, trieSize, trie + child, prefix, depth + 1, out);
        prefix.resize(length);
    }
}

bool MachOImage::isCode(std::uint64_t address) const {
    const std::uint64_t virtualAddress = m_imageBase + address;
    for (const Section& s : m_sections) {
        if (virtualAddress >= s.address && virtualAddress - s.address < s.size) {
            return (s.flags & (sectionPureInstructions | sectionSomeInstructions)) != 0;
        }
    }
    return false;
}

std::vector<Symbol> MachOImage::symbols() const {
    const Command* c = _find(commandSymtab);
    if (c == nullptr) {
        return {};
    }
    const std::uint32_t table = _u32(c->offset + 8);
    const std::uint32_t count = _u32(c->offset + 12);
    const std::uint32_t strings = _u32(c->offset + 16);
    const std::uint32_t stringBytes = _u32(c->offset + 20);
    need(m_bytes, table, static_cast<std::size_t>(count) * 16);
    need(m_bytes, strings, stringBytes);
    std::vector<Symbol> out;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = table + static_cast<std::size_t>(i) * 16;
        const std::uint32_t name = _u32(at);
        if (name >= stringBytes) {
            malformed("symbol name outside the string table");
        }
        out.push_back({_string(strings + name, stringBytes - name), m_bytes[at + 4],
                       m_bytes[at + 5],
                       static_cast<std::uint16_t>(m_bytes[at + 6] | m_bytes[at + 7] << 8)});
    }
    return out;
}

std::optional<std::uint32_t> MachOImage::codeSignatureOffset() const {
    const Command* c = _find(commandCodeSignature);
    if (c == nullptr) {
        return std::nullopt;
    }
    return _u32(c->offset + 8);
}

std::optional<CodeDirectory> MachOImage::codeDirectory() const {
    const Command* c = _find(commandCodeSignature);
    if (c == nullptr) {
        return std::nullopt;
    }
    const std::size_t offset = _u32(c->offset + 8);
    const std::size_t size = _u32(c->offset + 12);
    need(m_bytes, offset, size);
    const std::span<const std::uint8_t> blob = m_bytes.subspan(offset, size);
    if (bigEndian32(blob, 0) != superBlobMagic) {
        malformed("code signature is not a signature blob");
    }
    const std::uint32_t count = bigEndian32(blob, 8);
    for (std::uint32_t entry = 0; entry < count; ++entry) {
        if (bigEndian32(blob, 12 + 8 * entry) != codeDirectorySlot) {
            continue;
        }
        const std::size_t at = bigEndian32(blob, 16 + 8 * entry);
        if (bigEndian32(blob, at) != codeDirectoryMagic) {
            malformed("code directory slot holds no code directory");
        }
        CodeDirectory d;
        d.flags = bigEndian32(blob, at + 12);
        const std::size_t hashes = at + bigEndian32(blob, at + 16);
        const std::size_t identifier = at + bigEndian32(blob, at + 20);
        const std::uint32_t codeSlots = bigEndian32(blob, at + 28);
        d.codeLimit = bigEndian32(blob, at + 32);
        need(blob, at + 36, 4);
        const std::size_t hashSize = blob[at + 36];
        d.hashType = blob[at + 37];
        d.pageSizeLog2 = blob[at + 39];
        for (std::size_t ch = identifier; ch < blob.size() && blob[ch] != 0; ++ch) {
            d.identifier.push_back(static_cast<char>(blob[ch]));
        }
        need(blob, hashes, codeSlots * hashSize);
        for (std::uint32_t slot = 0; slot < codeSlots; ++slot) {
            const auto first = blob.begin() + static_cast<std::ptrdiff_t>(hashes + slot * hashSize);
            d.codeHashes.emplace_back(first, first + static_cast<std::ptrdiff_t>(hashSize));
        }
        return d;
    }
    malformed("code signature without a code directory");
}

} // namespace MachOTest
