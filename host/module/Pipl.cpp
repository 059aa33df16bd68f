#include "host/module/Pipl.h"

#include "host/system/HostError.h"

#include <fstream>
#include <iterator>

namespace OfflineHost {
namespace {

// Little-endian reads with bounds checks; `what` names the structure in error messages.
class ByteReader {
public:
    ByteReader(std::span<const std::uint8_t> bytes, const char* what)
        : m_bytes(bytes), m_what(what) {}

    std::size_t remaining() const { return m_bytes.size() - m_pos; }
    bool atEnd() const { return m_pos == m_bytes.size(); }

    std::uint16_t u16() {
        const auto b = take(2);
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    std::uint32_t u32() {
        const auto b = take(4);
        return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
               (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }
    std::span<const std::uint8_t> take(std::size_t count) {
        if (count > remaining()) {
            throw HostError(std::string(m_what) + " is truncated: " + std::to_string(count) +
                            " bytes needed at offset " + std::to_string(m_pos) + ", " +
                            std::to_string(remaining()) + " left");
        }
        const auto part = m_bytes.subspan(m_pos, count);
        m_pos += count;
        return part;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    const char* m_what;
};

[[noreturn]] void badProperty(std::uint32_t key, const char* problem) {
    throw HostError("property '" + fourCCText(key) + "' " + problem);
}

std::uint32_t u32Value(const PiplProperty& p) {
    ByteReader r(p.data, "a 32-bit property");
    if (p.data.size() < 4) {
        badProperty(p.key, "holds fewer than 4 bytes");
    }
    return r.u32();
}

std::string pascalString(const PiplProperty& p) {
    if (p.data.empty() || p.data[0] + 1u > p.data.size()) {
        badProperty(p.key, "holds a Pascal string longer than its data");
    }
    return {p.data.begin() + 1, p.data.begin() + 1 + p.data[0]};
}

std::string cString(const PiplProperty& p) {
    for (std::size_t i = 0; i < p.data.size(); ++i) {
        if (p.data[i] == 0) {
            return {p.data.begin(), p.data.begin() + static_cast<std::ptrdiff_t>(i)};
        }
    }
    badProperty(p.key, "holds a C string without a terminating zero");
}

PiplVersion versionValue(const PiplProperty& p) {
    if (p.data.size() < 4) {
        badProperty(p.key, "holds fewer than 4 bytes");
    }
    ByteReader r(p.data, "a version property");
    PiplVersion v;
    v.major = r.u16();
    v.minor = r.u16();
    return v;
}

void interpret(EffectRecords& records, const PiplProperty& p) {
    switch (p.key) {
    case fourCC("kind"):
        records.kind = u32Value(p);
        break;
    case fourCC("name"):
        records.name = pascalString(p);
        break;
    case fourCC("catg"):
        records.category = pascalString(p);
        break;
    case fourCC("8664"):
        records.entryPoint = cString(p);
        break;
    case fourCC("ePVR"):
        records.propertyListVersion = versionValue(p);
        break;
    case fourCC("eSVR"):
        records.interfaceVersion = versionValue(p);
        break;
    case fourCC("eVER"):
        records.effectVersion = u32Value(p);
        break;
    case fourCC("eINF"):
        if (p.data.size() < 2) {
            badProperty(p.key, "holds fewer than 2 bytes");
        }
        records.infoFlags = ByteReader(p.data, "'eINF'").u16();
        break;
    case fourCC("eGLO"):
        records.outFlags = u32Value(p);
        break;
    case fourCC("eGL2"):
        records.outFlags2 = u32Value(p);
        break;
    case fourCC("eMNA"):
        records.matchName = pascalString(p);
        break;
    case fourCC("aeFL"):
        records.aeFlags = u32Value(p);
        break;
    default:
        break; // kept in `properties` only
    }
}

} // namespace

std::string fourCCText(std::uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<char>((code >> (24 - 8 * i)) & 0xFF);
        text[static_cast<std::size_t>(i)] = (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

bool EffectRecords::has(std::uint32_t key) const {
    for (const auto& p : properties) {
        if (p.key == key) {
            return true;
        }
    }
    return false;
}

EffectRecords parsePropertyList(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes, "property list");
    const auto word = r.u16();
    const auto version = r.u32();
    if (word != 1 || version != 0) {
        throw HostError("not a property list: header word " + std::to_string(word) +
                        " and version " + std::to_string(version) + " instead of 1 and 0");
    }
    const auto count = r.u32();
    EffectRecords records;
    for (std::uint32_t i = 0; i < count; ++i) {
        PiplProperty p;
        p.vendor = r.u32();
        p.key = r.u32();
        p.id = r.u32();
        const auto length = r.u32();
        const auto data = r.take(length);
        p.data.assign(data.begin(), data.end());
        // Each property's data is padded to a multiple of 4; the length excludes the padding.
        r.take((4 - length % 4) % 4);
        interpret(records, p);
        records.properties.push_back(std::move(p));
    }
    return records;
}

std::vector<PiplResource> parsePiplResources(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes, "records file");
    std::vector<PiplResource> resources;
    while (!r.atEnd()) {
        const auto type = r.take(4);
        if (std::string(type.begin(), type.end()) != "PIPL") {
            throw HostError("records file holds a resource of type other than PIPL");
        }
        PiplResource resource;
        resource.id = static_cast<std::int32_t>(r.u32());
        resource.language = r.u16();
        r.u16();
        const auto length = r.u32();
        resource.records = parsePropertyList(r.take(length));
        resources.push_back(std::move(resource));
    }
    return resources;
}

std::vector<PiplResource> readPiplFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw HostError("cannot read registration records " + file.string());
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    try {
        return parsePiplResources(bytes);
    } catch (const HostError& e) {
        throw HostError("registration records " + file.string() + ": " + e.what());
    }
}

} // namespace OfflineHost
