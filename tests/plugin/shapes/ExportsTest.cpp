// The module exports its four entry functions and nothing else: the host must not see (and
// resolve against) any of our other symbols, and theirs must not replace ours.

#include "ModuleFiles.h"
#include "Shapes/OndrelRegistration.h"
#include "tests/support/Files.h"

#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

template <typename T>
T readAt(const std::vector<std::uint8_t>& file, std::size_t offset) {
    if (offset + sizeof(T) > file.size()) {
        throw std::runtime_error("ELF file truncated");
    }
    T value;
    std::memcpy(&value, file.data() + offset, sizeof(T));
    return value;
}

// The names of the symbols the dynamic symbol table defines (section index not undefined).
std::set<std::string> definedDynamicSymbols(const std::vector<std::uint8_t>& file) {
    const auto header = readAt<Elf64_Ehdr>(file, 0);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64) {
        throw std::runtime_error("not a 64-bit ELF file");
    }
    std::set<std::string> names;
    for (unsigned s = 0; s < header.e_shnum; ++s) {
        const auto section = readAt<Elf64_Shdr>(file, header.e_shoff + s * header.e_shentsize);
        if (section.sh_type != SHT_DYNSYM) {
            continue;
        }
        const auto strings =
            readAt<Elf64_Shdr>(file, header.e_shoff + section.sh_link * header.e_shentsize);
        for (std::size_t at = 0; at < section.sh_size; at += sizeof(Elf64_Sym)) {
            const auto symbol = readAt<Elf64_Sym>(file, section.sh_offset + at);
            if (symbol.st_shndx == SHN_UNDEF || symbol.st_name == 0) {
                continue;
            }
            const std::size_t name = strings.sh_offset + symbol.st_name;
            if (name >= file.size()) {
                throw std::runtime_error("symbol name outside the file");
            }
            names.insert(reinterpret_cast<const char*>(file.data() + name));
        }
    }
    return names;
}

TEST(ModuleExports, OnlyTheEntryFunctionsAreDefined) {
    std::set<std::string> entryFunctions;
    for (const Ondrel::EffectRegistration& effect : Ondrel::Registration::effects) {
        entryFunctions.insert(effect.entryName);
    }
    ASSERT_EQ(entryFunctions.size(), Ondrel::Registration::effects.size());
    EXPECT_EQ(definedDynamicSymbols(TestSupport::readBytes(ModuleFiles::module())), entryFunctions);
}

} // namespace
