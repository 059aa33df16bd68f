#pragma once

// Writes registration records as the offline host reads them beside a Linux module: "PIPL"
// resources, each holding one property list in its Windows form (values little-endian).
// Written from the format's description, independently of the host's parser.

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace PiplWriter {

using Bytes = std::vector<std::uint8_t>;

// A four-character code with its first character in the highest byte.
inline std::uint32_t code(const char (&c)[5]) {
    return (std::uint32_t(std::uint8_t(c[0])) << 24) | (std::uint32_t(std::uint8_t(c[1])) << 16) |
           (std::uint32_t(std::uint8_t(c[2])) << 8) | std::uint32_t(std::uint8_t(c[3]));
}

inline void put16(Bytes& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v & 0xFF));
    out.push_back(std::uint8_t((v >> 8) & 0xFF));
}

inline void put32(Bytes& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

inline Bytes pascal(const std::string& s) {
    Bytes b{std::uint8_t(s.size())};
    b.insert(b.end(), s.begin(), s.end());
    return b;
}

inline Bytes cString(const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

inline Bytes word32(std::uint32_t v) {
    Bytes b;
    put32(b, v);
    return b;
}

inline Bytes versionPair(std::uint32_t major, std::uint32_t minor) {
    Bytes b;
    put16(b, major);
    put16(b, minor);
    return b;
}

struct Property {
    std::uint32_t key;
    Bytes data; // unpadded; the length field counts the padded size
};

// A property list with a chosen set of properties (so tests can leave some out).
inline Bytes propertyList(const std::vector<Property>& properties) {
    Bytes out;
    put16(out, 1);
    put32(out, 0);
    put32(out, std::uint32_t(properties.size()));
    for (const auto& p : properties) {
        const std::size_t padded = (p.data.size() + 3) / 4 * 4;
        put32(out, code("8BIM"));
        put32(out, p.key);
        put32(out, 0);
        put32(out, std::uint32_t(padded));
        out.insert(out.end(), p.data.begin(), p.data.end());
        out.insert(out.end(), padded - p.data.size(), 0);
    }
    return out;
}

struct Effect {
    std::int32_t resourceId = 16000;
    std::string name;
    std::string category = "Ondrel";
    std::string entryPoint;
    std::string matchName;
    std::uint32_t version = 0;
    std::uint32_t outFlags = 0;
    std::uint32_t outFlags2 = 0;
};

// The twelve properties of an effect, in the order the host expects.
inline std::vector<Property> effectProperties(const Effect& e) {
    Bytes info;
    put16(info, 0);
    return {
        {code("kind"), word32(code("eFKT"))}, {code("name"), pascal(e.name)},
        {code("catg"), pascal(e.category)},   {code("8664"), cString(e.entryPoint)},
        {code("ePVR"), versionPair(2, 0)},    {code("eSVR"), versionPair(13, 0)},
        {code("eVER"), word32(e.version)},    {code("eINF"), info},
        {code("eGLO"), word32(e.outFlags)},   {code("eGL2"), word32(e.outFlags2)},
        {code("eMNA"), pascal(e.matchName)},  {code("aeFL"), word32(8)},
    };
}

inline Bytes resource(std::int32_t id, const Bytes& list) {
    Bytes out{'P', 'I', 'P', 'L'};
    put32(out, std::uint32_t(id));
    put16(out, 1033);
    put16(out, 0);
    put32(out, std::uint32_t(list.size()));
    out.insert(out.end(), list.begin(), list.end());
    return out;
}

inline Bytes recordsFile(const std::vector<Effect>& effects) {
    Bytes out;
    for (const auto& e : effects) {
        const Bytes r = resource(e.resourceId, propertyList(effectProperties(e)));
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

inline void write(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace PiplWriter
