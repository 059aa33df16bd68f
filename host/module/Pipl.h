#pragma once

// Reading registration records (property lists). The parser works on bytes, so the records can
// come from the file beside a Linux module or from a Windows resource alike.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace OfflineHost {

// A four-character code as the host stores it: the first character in the highest byte.
constexpr std::uint32_t fourCC(const char (&code)[5]) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

// The four characters of a code, for messages.
std::string fourCCText(std::uint32_t code);

struct PiplVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;

    bool operator==(const PiplVersion&) const = default;
};

// One property exactly as stored: data without the padding the length field already excludes.
struct PiplProperty {
    std::uint32_t vendor = 0; // '8BIM'
    std::uint32_t key = 0;
    std::uint32_t id = 0;
    std::vector<std::uint8_t> data;
};

// One effect's registration records. Fields of properties the list does not hold stay at their
// defaults; `properties` holds every property in the order of the list, known or not.
struct EffectRecords {
    std::uint32_t kind = 0;          // 'kind', fourCC("eFKT") for an effect
    std::string name;                // 'name'
    std::string category;            // 'catg'
    std::string entryPoint;          // '8664', the entry function's exported name
    PiplVersion propertyListVersion; // 'ePVR'
    PiplVersion interfaceVersion;    // 'eSVR'
    std::uint32_t effectVersion = 0; // 'eVER', packed PF_VERSION word
    std::uint16_t infoFlags = 0;     // 'eINF'
    std::uint32_t outFlags = 0;      // 'eGLO'
    std::uint32_t outFlags2 = 0;     // 'eGL2'
    std::string matchName;           // 'eMNA'
    std::uint32_t aeFlags = 0;       // 'aeFL'
    std::vector<PiplProperty> properties;

    // True when the list holds a property with this key.
    bool has(std::uint32_t key) const;
};

// Parses one property list in its Windows form (every value little-endian). Throws HostError
// when the bytes are truncated, the header is not a property list's, or a known property's data
// is too short for its value.
EffectRecords parsePropertyList(std::span<const std::uint8_t> bytes);

// One resource of a records file (see readPiplFile).
struct PiplResource {
    std::int32_t id = 0;
    std::uint16_t language = 0;
    EffectRecords records;
};

// Parses the records file that sits beside a Linux module: resources of type "PIPL", each a
// 16-byte header (type, 32-bit id, 16-bit language, 16-bit zero, 32-bit length) and the property
// list. Throws HostError on malformed bytes.
std::vector<PiplResource> parsePiplResources(std::span<const std::uint8_t> bytes);

// Reads and parses a records file; throws HostError naming the file when it cannot be read or
// parsed.
std::vector<PiplResource> readPiplFile(const std::filesystem::path& file);

} // namespace OfflineHost
