#pragma once

// Just enough of the macOS executable format (Mach-O) to check a built bundle on any system, as
// the dynamic loader reads it: the slices of a universal file and, in each 64-bit slice, its
// header, load commands, libraries, exports, symbols and code signature.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace MachOTest {

constexpr std::uint32_t cpuX86_64 = 0x01000007;
constexpr std::uint32_t cpuArm64 = 0x0100000C;
constexpr std::uint32_t fileTypeBundle = 8;     // MH_BUNDLE
constexpr std::uint32_t flagNoUndefs = 0x1;     // MH_NOUNDEFS
constexpr std::uint32_t flagTwoLevel = 0x80;    // MH_TWOLEVEL: each import names its library
constexpr std::uint32_t commandLoadDylib = 0xC; // LC_LOAD_DYLIB
constexpr std::uint32_t platformMacOS = 1;

// One architecture of a universal file, as its (big-endian) header lists it.
struct Slice {
    std::uint32_t cpuType = 0;
    std::uint32_t cpuSubtype = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t alignLog2 = 0;
};

// Throws std::runtime_error when the bytes are not a universal file or a slice lies outside them.
std::vector<Slice> universalSlices(std::span<const std::uint8_t> file);

struct Dylib {
    std::uint32_t command; // LC_LOAD_DYLIB, LC_LOAD_WEAK_DYLIB, LC_REEXPORT_DYLIB, ...
    std::string name;
};

struct BuildVersion {
    std::uint32_t platform = 0;
    std::uint32_t minimumOS = 0; // xxxx.yy.zz in nibbles: 11.0 is 0x000B0000
    std::uint32_t sdk = 0;
};

struct Export {
    std::string name;
    std::uint64_t flags = 0;
    std::uint64_t address = 0; // from the image's start; 0 for re-exports
};

struct Symbol {
    std::string name;
    std::uint8_t type = 0; // n_type: stab, private-external, type and external bits
    std::uint8_t section = 0;
    std::uint16_t description = 0; // n_desc: for an import, its library's ordinal in bits 8-15

    bool isDebugEntry() const { return (type & 0xE0) != 0; }
    bool isExternal() const { return !isDebugEntry() && (type & 0x01) != 0; }
    bool isPrivateExternal() const { return (type & 0x10) != 0; }
    bool isUndefined() const { return !isDebugEntry() && (type & 0x0E) == 0; }
    bool isDefinedInSection() const { return !isDebugEntry() && (type & 0x0E) == 0x0E; }
    int libraryOrdinal() const { return description >> 8; }
};

// The code directory of an embedded code signature (big-endian, like all of the signature).
struct CodeDirectory {
    std::uint32_t flags = 0; // 0x2: ad hoc, signed without an identity
    std::string identifier;
    std::uint32_t codeLimit = 0; // bytes of the slice the page hashes cover
    std::uint8_t hashType = 0;   // 2: SHA-256
    std::uint8_t pageSizeLog2 = 0;
    std::vector<std::vector<std::uint8_t>> codeHashes; // one per page, in order
};

// A 64-bit little-endian Mach-O image: a thin file, or one slice of a universal file.
class MachOImage {
public:
    // Throws std::runtime_error when the bytes are not such an image or a structure lies outside
    // them.
    explicit MachOImage(std::span<const std::uint8_t> bytes);

    std::span<const std::uint8_t> bytes() const { return m_bytes; }
    std::uint32_t cpuType() const { return m_cpuType; }
    std::uint32_t fileType() const { return m_fileType; }
    std::uint32_t flags() const { return m_flags; }

    std::vector<Dylib> dylibs() const;
    std::optional<BuildVersion> buildVersion() const;

    // What the loader lets others look up: the export trie.
    std::vector<Export> exports() const;
    // Whether an address from the image's start lies in a section of machine instructions.
    bool isCode(std::uint64_t address) const;
    // The symbol table.
    std::vector<Symbol> symbols() const;

    // Where the embedded code signature starts (its LC_CODE_SIGNATURE), if there is one.
    std::optional<std::uint32_t> codeSignatureOffset() const;
    std::optional<CodeDirectory> codeDirectory() const;

private:
    struct Command {
        std::uint32_t kind;
        std::size_t offset; // of the command in the image
        std::uint32_t size;
    };
    struct Section {
        std::uint64_t address;
        std::uint64_t size;
        std::uint32_t flags;
    };

    const Command* _find(std::uint32_t kind) const;
    std::uint32_t _u32(std::size_t offset) const;
    std::uint64_t _u64(std::size_t offset) const;
    std::string _string(std::size_t offset, std::size_t limit) const;
    void _exportNode(std::size_t trie, std::size_t trieSize, std::size_t node, std::string& prefix,
                     int depth, std::vector<Export>& out) const;

    std::span<const std::uint8_t> m_bytes;
    std::uint32_t m_cpuType = 0;
    std::uint32_t m_fileType = 0;
    std::uint32_t m_flags = 0;
    std::uint64_t m_imageBase = 0; // the __TEXT segment's address, where the header is mapped
    std::vector<Command> m_commands;
    std::vector<Section> m_sections;
};

} // namespace MachOTest
