#pragma once

// Just enough of the Windows executable format (PE32+) to check a built DLL on any system: its
// machine, its exports, the DLLs it imports from, and its resources.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace PeTest {

struct Resource {
    // Named types and resources by their names ("PIPL"), numbered ones as "#<number>".
    std::string type;
    std::string name;
    std::uint16_t language = 0;
    std::vector<std::uint8_t> data;
};

struct Export {
    std::string name;
    std::uint32_t address = 0; // relative virtual address
};

class PeImage {
public:
    // Throws std::runtime_error when the bytes are not a PE32+ image or a structure lies outside
    // them.
    explicit PeImage(std::vector<std::uint8_t> bytes);
    static PeImage read(const std::filesystem::path& file);

    std::uint16_t machine() const { return m_machine; } // 0x8664 for x64
    bool isDll() const { return (m_characteristics & 0x2000) != 0; }

    // Exports with a name, and the number of exported addresses (named or by ordinal only).
    std::vector<Export> namedExports() const;
    std::uint32_t exportedAddressCount() const;
    // Whether the address lies in a section of executable code.
    bool isCode(std::uint32_t address) const;

    // The DLLs of the import table and of the delay-load import table.
    std::vector<std::string> importedDlls() const;
    std::vector<std::string> delayLoadedDlls() const;

    std::vector<Resource> resources() const;

private:
    struct Section {
        std::uint32_t address;
        std::uint32_t virtualSize;
        std::uint32_t rawSize;
        std::uint32_t rawOffset;
        std::uint32_t characteristics;
    };
    struct Directory {
        std::uint32_t address = 0;
        std::uint32_t size = 0;
    };

    std::size_t _offset(std::uint32_t address) const; // file offset of an RVA
    std::uint16_t _u16(std::size_t offset) const;
    std::uint32_t _u32(std::size_t offset) const;
    std::string _string(std::uint32_t address) const;
    std::vector<std::string> _dllNames(const Directory& table, std::size_t entrySize,
                                       std::size_t nameField) const;
    void _resourceLevel(std::size_t directory, int level, Resource partial,
                        std::vector<Resource>& out) const;

    std::vector<std::uint8_t> m_bytes;
    std::uint16_t m_machine = 0;
    std::uint16_t m_characteristics = 0;
    std::vector<Section> m_sections;
    std::vector<Directory> m_directories;
};

} // namespace PeTest
