#pragma once

// The host's plug-in property list: the twelve properties that register one effect, and their
// encoding in either byte order (little-endian for the Windows resource and the Linux .pipl
// file, big-endian for the macOS resource).

#include "Shapes/OndrelRegistration.h"

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace OndrelPipl {

enum class ByteOrder { Little, Big };

// A four-character code as the 32-bit value the record format stores.
constexpr std::uint32_t fourCC(const char (&code)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

struct VersionPair {
    std::uint16_t major;
    std::uint16_t minor;
};
struct Word16 {
    std::uint16_t value; // padded to four bytes
};
struct PascalString {
    std::string text;
};
struct CString {
    std::string text;
};
using PropertyValue = std::variant<std::uint32_t, VersionPair, Word16, PascalString, CString>;

struct Property {
    std::uint32_t key;
    PropertyValue value;
};

// The properties of one effect, the entry function named once under each key of entryKeys
// ('8664' for Windows x64; the Mac code kinds for the macOS resource).
std::vector<Property> effectProperties(const Ondrel::EffectRegistration& effect,
                                       std::span<const std::uint32_t> entryKeys);

// The bytes of a property list: a 16-bit 1, a 32-bit version 0, the count, then each property
// as vendor '8BIM', key, id 0, padded length and padded data.
std::vector<std::uint8_t> encodePropertyList(std::span<const Property> properties, ByteOrder order);

} // namespace OndrelPipl
