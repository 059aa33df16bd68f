#pragma once

// What the host learns about each effect before it runs any of them. The registration records
// (the Windows resource script, the macOS resource file and the Linux .pipl file), the module's
// export list and the answers of global set-up are all derived from this one table, so they
// cannot drift apart. It depends on nothing but the standard library because the build-time
// generator in tools/build/pipl includes it too.

#include <array>
#include <cstdint>

namespace Ondrel {

struct EffectRegistration {
    const char* name;      // shown in the effect menu and the about text
    const char* matchName; // identifies the effect in saved projects; never changes
    const char* entryName; // the exported entry function the host calls
    std::int16_t resourceId;
};

struct EffectVersion {
    int major;
    int minor;
    int bug;
    int stage; // 3 = release
    int build;
};

namespace Registration {

// The host's version packing: major in bits 19-21, minor 15-18, bug fix 11-14, stage 9-10,
// build 0-8.
constexpr std::uint32_t packVersion(EffectVersion v) {
    return static_cast<std::uint32_t>(v.major << 19 | v.minor << 15 | v.bug << 11 | v.stage << 9 |
                                      v.build);
}

// Every effect of the module, once, in the order of its records:
//   X(constant, name, match name, entry function, resource id)
// The constants and the table below, the entry functions' declarations (OndrelEntryPoints.h) and
// the record generator's output (tools/build/pipl) are made from this list. The tests, the
// packaging checks and the host benchmark take the module's effects from it too, and fail for an
// effect whose records, parameters or benchmark shape are not written down beside them: an effect
// is added by a line here, its own files, and those expectations.
#define ONDREL_EFFECTS(X)                                                                          \
    X(circle, "OndrelCircle", "OndrelCircle", EntryPointFuncCircle, 16002)                         \
    X(line, "OndrelLine", "OndrelLine", EntryPointFuncLine, 16001)                                 \
    X(rectangle, "OndrelRectangle", "OndrelRectangle", EntryPointFuncRectangle, 16003)             \
    X(triangle, "OndrelTriangle", "OndrelTriangle", EntryPointFuncTriangle, 16000)

#define ONDREL_REGISTRATION(constant, name, matchName, entry, resourceId)                          \
    inline constexpr EffectRegistration constant{name, matchName, #entry, resourceId};
ONDREL_EFFECTS(ONDREL_REGISTRATION)
#undef ONDREL_REGISTRATION

#define ONDREL_LISTED(constant, ...) constant,
inline constexpr std::array effects{ONDREL_EFFECTS(ONDREL_LISTED)};
#undef ONDREL_LISTED

inline constexpr const char* category = "Ondrel";
inline constexpr const char* moduleName = "OndrelShapes";
inline constexpr EffectVersion version{1, 0, 0, 3, 1};
inline constexpr std::uint32_t versionWord = packVersion(version);
static_assert(versionWord == 0x80601);

// Deep colour aware, and send the parameter-UI update command (for the graying).
inline constexpr std::int32_t outFlags = 0x6000000;
// Supports smart render, and float colour aware.
inline constexpr std::int32_t outFlags2 = 0x1400;

// Fixed facts of the record format rather than of our effects.
inline constexpr std::uint16_t language = 1033; // US English
inline constexpr std::uint16_t propertyListVersion = 2;
inline constexpr std::uint16_t effectInterfaceVersion = 13;
inline constexpr std::uint16_t infoFlags = 0;
inline constexpr std::uint32_t reservedInfo = 8;

} // namespace Registration
} // namespace Ondrel
