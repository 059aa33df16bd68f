// The macOS bundle as a Mac host and its loader find it: the files a host reads, and one
// universal binary whose x86_64 and arm64 slices are each a bundle for macOS 11 or later that
// loads only libSystem, exports the entry functions and nothing else, imports nothing that
// libSystem lacks on macOS 11, and carries an ad hoc code signature whose hashes match its
// bytes (Apple silicon runs no code without one). Read from the bundle that `make mac` built.

#include "MachOImage.h"
#include "Shapes/OndrelRegistration.h"
#include "TextStub.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <set>

namespace {

using namespace MachOTest;

const std::filesystem::path bundle = ONDREL_MAC_BUNDLE;
const std::filesystem::path binary = bundle / "Contents/MacOS/OndrelShapes";

// Each effect's entry function, as Mach-O names C symbols.
const std::set<std::string> entryFunctions = [] {
    std::set<std::string> names;
    for (const Ondrel::EffectRegistration& effect : Ondrel::Registration::effects) {
        names.insert(std::string("_") + effect.entryName);
    }
    return names;
}();

std::string sliceName(const Slice& s) {
    return s.cpuType == cpuX86_64 ? "x86_64" : s.cpuType == cpuArm64 ? "arm64" : "unknown";
}

class MacBundle : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(binary)) {
            GTEST_SKIP() << "the macOS bundle was not built: " << binary.string()
                         << " does not exist (make mac builds it)";
        }
        file = TestSupport::readBytes(binary);
        slices = universalSlices(file);
        ASSERT_FALSE(slices.empty());
    }

    MachOImage image(const Slice& s) const {
        return MachOImage(std::span(file).subspan(s.offset, s.size));
    }

    std::vector<std::uint8_t> file;
    std::vector<Slice> slices;
};

TEST_F(MacBundle, HoldsTheFilesAHostReadsAndNothingElse) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(bundle)) {
        if (!entry.is_directory()) {
            files.push_back(std::filesystem::relative(entry.path(), bundle).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Contents/Info.plist", "Contents/MacOS/OndrelShapes",
                                               "Contents/PkgInfo",
                                               "Contents/Resources/OndrelShapes.rsrc"}));
    const auto permissions = std::filesystem::status(binary).permissions();
    EXPECT_NE(permissions & std::filesystem::perms::others_exec, std::filesystem::perms::none);

    // Info.plist and PkgInfo are the files that macos.bundle_info_plist_and_pkginfo checks.
    const std::filesystem::path checked = ONDREL_MAC_CHECKED_BUNDLE_FILES;
    for (const char* name : {"Info.plist", "PkgInfo"}) {
        EXPECT_EQ(TestSupport::readBytes(bundle / "Contents" / name),
                  TestSupport::readBytes(checked / name))
            << name;
    }
}

TEST_F(MacBundle, IsOneUniversalBinaryWithAnIntelAndAnAppleSiliconSlice) {
    std::set<std::string> names;
    std::uint64_t end = 0;
    for (const Slice& s : slices) {
        SCOPED_TRACE(sliceName(s));
        names.insert(sliceName(s));
        // The whole architecture, not a variant of it: x86_64h or arm64e would not load everywhere.
        EXPECT_EQ(s.cpuSubtype, s.cpuType == cpuX86_64 ? 3u : 0u);
        // Slices start on page boundaries, 16 KiB on Apple silicon, and do not overlap.
        EXPECT_GE(s.alignLog2, s.cpuType == cpuArm64 ? 14u : 12u);
        EXPECT_EQ(s.offset % (std::uint64_t{1} << s.alignLog2), 0u);
        EXPECT_GE(s.offset, end);
        end = s.offset + s.size;
        EXPECT_EQ(image(s).cpuType(), s.cpuType);
    }
    EXPECT_EQ(names, (std::set<std::string>{"arm64", "x86_64"}));
    EXPECT_EQ(slices.size(), 2u);
}

TEST_F(MacBundle, EachSliceIsABundleForMacOS11OrLaterThatLoadsOnlyLibSystem) {
    for (const Slice& s : slices) {
        SCOPED_TRACE(sliceName(s));
        const MachOImage slice = image(s);
        EXPECT_EQ(slice.fileType(), fileTypeBundle);
        // Every import names the library it comes from, and the linker found each one.
        EXPECT_EQ(slice.flags() & (flagNoUndefs | flagTwoLevel), flagNoUndefs | flagTwoLevel);

        const auto version = slice.buildVersion();
        ASSERT_TRUE(version.has_value());
        EXPECT_EQ(version->platform, platformMacOS);
        EXPECT_EQ(version->minimumOS, 0x000B0000u); // 11.0.0

        const auto dylibs = slice.dylibs();
        ASSERT_EQ(dylibs.size(), 1u);
        EXPECT_EQ(dylibs[0].command, commandLoadDylib);
        EXPECT_EQ(dylibs[0].name, "/usr/lib/libSystem.B.dylib");
    }
}

TEST_F(MacBundle, EachSliceExportsExactlyTheFourEntryFunctions) {
    for (const Slice& s : slices) {
        SCOPED_TRACE(sliceName(s));
        const MachOImage slice = image(s);
        std::set<std::string> exported;
        for (const Export& e : slice.exports()) {
            exported.insert(e.name);
            if (entryFunctions.contains(e.name)) {
                EXPECT_EQ(e.flags, 0u) << e.name << " is not a plain exported function";
                EXPECT_TRUE(slice.isCode(e.address)) << e.name << " is not code";
            }
        }
        EXPECT_EQ(exported, entryFunctions);

        std::set<std::string> external;
        for (const Symbol& symbol : slice.symbols()) {
            if (symbol.isExternal() && symbol.isDefinedInSection() && !symbol.isPrivateExternal()) {
                external.insert(symbol.name);
            }
        }
        EXPECT_EQ(external, entryFunctions);
    }
}

// Each slice against what libSystem exports on macOS 11, from the stub the build links with.
class MacBundleAndLibSystem : public MacBundle {
protected:
    void SetUp() override {
        MacBundle::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        if (!std::filesystem::exists(stub)) {
            GTEST_SKIP() << "libSystem's stub for macOS 11 is missing: " << stub.string()
                         << " (make mac installs it)";
        }
    }

    std::set<std::string> libSystem(const Slice& s) const {
        auto symbols = stubExports(stub, sliceName(s) + "-macos");
        EXPECT_TRUE(symbols.contains("_malloc") && symbols.contains("_pthread_create"))
            << "the stub's exports were not read";
        return symbols;
    }

    const std::filesystem::path stub = ONDREL_MAC_LIBSYSTEM_STUB;
};

TEST_F(MacBundleAndLibSystem, EverySymbolASliceImportsIsOneLibSystemExportsOnMacOS11) {
    for (const Slice& s : slices) {
        SCOPED_TRACE(sliceName(s));
        const auto libSystem = this->libSystem(s);
        std::size_t imports = 0;
        for (const Symbol& symbol : image(s).symbols()) {
            if (!symbol.isUndefined() || !symbol.isExternal()) {
                continue;
            }
            ++imports;
            EXPECT_EQ(symbol.libraryOrdinal(), 1) << symbol.name << " is not bound to libSystem";
            EXPECT_TRUE(libSystem.contains(symbol.name))
                << symbol.name << " is not in libSystem on macOS 11";
        }
        EXPECT_GT(imports, 0u) << "the C++ runtime allocates and locks through libSystem";
    }
}

// A copy of a system function in the bundle (Zig's runtime has memcpy and memmove too) would
// stand in for the system's own, tuned one.
TEST_F(MacBundleAndLibSystem, NoSliceCarriesItsOwnCopyOfAFunctionLibSystemExports) {
    for (const Slice& s : slices) {
        SCOPED_TRACE(sliceName(s));
        const auto libSystem = this->libSystem(s);
        for (const Symbol& symbol : image(s).symbols()) {
            EXPECT_FALSE(symbol.isDefinedInSection() && libSystem.contains(symbol.name))
                << symbol.name << " is defined in the bundle";
        }
    }
}

std::string hex(std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += {digits[b >> 4], digits[b & 0xF]};
    }
    return text;
}

std::string sha256(std::span<const std::uint8_t> bytes) {
    std::uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("SHA-256 failed");
    }
    return hex(std::span(digest, size));
}

TEST_F(MacBundle, EachSliceCarriesAnAdHocSignatureThatMatchesItsBytes) {
    for (const Slice& s : slices) {
        SCOPED_TRACE(sliceName(s));
        const MachOImage slice = image(s);
        const auto directory = slice.codeDirectory();
        ASSERT_TRUE(directory.has_value()) << "no code signature";
        EXPECT_NE(directory->flags & 0x2, 0u) << "not signed ad hoc";
        EXPECT_EQ(directory->identifier, "OndrelShapes");
        ASSERT_EQ(directory->hashType, 2) << "page hashes are not SHA-256";

        // The pages cover everything before the signature itself, each hashed as it is stored.
        ASSERT_EQ(directory->codeLimit, slice.codeSignatureOffset());
        const std::size_t page = std::size_t{1} << directory->pageSizeLog2;
        ASSERT_EQ(directory->codeHashes.size(), (directory->codeLimit + page - 1) / page);
        for (std::size_t i = 0; i < directory->codeHashes.size(); ++i) {
            const std::size_t size = std::min<std::size_t>(page, directory->codeLimit - i * page);
            EXPECT_EQ(hex(directory->codeHashes[i]), sha256(slice.bytes().subspan(i * page, size)))
                << "page " << i;
        }
    }
}

} // namespace
