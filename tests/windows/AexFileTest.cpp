// The Windows module as the host application finds it: an x64 DLL exporting the four entry
// functions by their plain names, needing no DLL beyond the system's, and carrying each effect's
// registration records as a little-endian "PIPL" resource in US English. Read from the built
// OndrelShapes.aex itself.

#include "PeImage.h"
#include "Shapes/OndrelRegistration.h"

#include "host/module/Pipl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

namespace {

using OfflineHost::fourCC;

const std::filesystem::path aexFile = ONDREL_WINDOWS_MODULE_PATH;

class AexFile : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(aexFile)) {
            GTEST_SKIP() << "OndrelShapes.aex was not built: " << aexFile.string()
                         << " does not exist (make windows builds it)";
        }
        image.emplace(PeTest::PeImage::read(aexFile));
    }

    std::optional<PeTest::PeImage> image;
};

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST_F(AexFile, IsAnX64Dll) {
    EXPECT_EQ(image->machine(), 0x8664);
    EXPECT_TRUE(image->isDll());
}

TEST_F(AexFile, ExportsExactlyTheEntryFunctionsUndecorated) {
    std::vector<std::string> names;
    for (const auto& e : image->namedExports()) {
        names.push_back(e.name);
        EXPECT_TRUE(image->isCode(e.address)) << e.name << " is forwarded or not code";
    }
    std::vector<std::string> entryFunctions;
    for (const Ondrel::EffectRegistration& effect : Ondrel::Registration::effects) {
        entryFunctions.emplace_back(effect.entryName);
    }
    std::sort(names.begin(), names.end());
    std::sort(entryFunctions.begin(), entryFunctions.end());
    EXPECT_EQ(names, entryFunctions);
    EXPECT_EQ(image->exportedAddressCount(), entryFunctions.size()) << "exports by ordinal only";
}

// The C runtime is msvcrt.dll, or the universal CRT's api-ms-win-crt-* sets on a toolchain that
// targets it; the C++ runtime, libgcc and winpthreads are linked in statically.
TEST_F(AexFile, ImportsOnlyFromTheSystemAndItsCRuntime) {
    const auto dlls = image->importedDlls();
    for (const std::string& dll : dlls) {
        const std::string name = lowercase(dll);
        EXPECT_TRUE(name == "kernel32.dll" || name == "msvcrt.dll" ||
                    name.starts_with("api-ms-win-crt-"))
            << "imports from " << dll;
    }
    EXPECT_NE(std::find_if(dlls.begin(), dlls.end(),
                           [](const std::string& d) { return lowercase(d) == "kernel32.dll"; }),
              dlls.end());
    EXPECT_TRUE(image->delayLoadedDlls().empty());
}

// Each effect's registration by its resource's name, "#" and the id. The registration records test
// holds them against their documentation; here they only name what the .aex must carry.
std::map<std::string, Ondrel::EffectRegistration> registeredByResource() {
    std::map<std::string, Ondrel::EffectRegistration> byResource;
    for (const Ondrel::EffectRegistration& effect : Ondrel::Registration::effects) {
        byResource.emplace("#" + std::to_string(effect.resourceId), effect);
    }
    return byResource;
}

// The resource bytes as the records file of the same build holds them: "PIPL", id, language,
// zero and length, all little-endian, before each property list.
std::map<std::string, std::vector<std::uint8_t>> recordsFileLists() {
    std::ifstream in(std::filesystem::path(aexFile).replace_extension(".pipl"), std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    const auto le32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(file.at(at) | file.at(at + 1) << 8 |
                                          file.at(at + 2) << 16 | file.at(at + 3) << 24);
    };
    std::map<std::string, std::vector<std::uint8_t>> lists;
    for (std::size_t at = 0; at + 16 <= file.size(); at += 16 + le32(at + 12)) {
        const auto first = file.begin() + static_cast<std::ptrdiff_t>(at + 16);
        lists["#" + std::to_string(le32(at + 4))].assign(first, first + le32(at + 12));
    }
    return lists;
}

TEST_F(AexFile, HoldsEachEffectsRecordsAsALittleEndianPiplResource) {
    const auto resources = image->resources();
    const auto registered = registeredByResource();
    ASSERT_EQ(resources.size(), registered.size());
    const auto fromRecordsFile = recordsFileLists();
    std::vector<std::string> names;
    for (const auto& r : resources) {
        SCOPED_TRACE(r.name);
        names.push_back(r.name);
        EXPECT_EQ(r.type, "PIPL");
        EXPECT_EQ(r.language, 1033);
        ASSERT_TRUE(registered.contains(r.name));
        const Ondrel::EffectRegistration& e = registered.at(r.name);

        // Header word 1, version 0 and twelve properties, then the first property's vendor
        // '8BIM' and key 'kind', each stored as a little-endian 32-bit value.
        const std::vector<std::uint8_t> head{1, 0,   0,   0,   0,   0,   12,  0,   0,
                                             0, 'M', 'I', 'B', '8', 'd', 'n', 'i', 'k'};
        ASSERT_GE(r.data.size(), head.size());
        EXPECT_TRUE(std::equal(head.begin(), head.end(), r.data.begin()));

        const auto records = OfflineHost::parsePropertyList(r.data);
        std::vector<std::uint32_t> keys;
        for (const auto& p : records.properties) {
            keys.push_back(p.key);
            EXPECT_EQ(p.vendor, fourCC("8BIM"));
            EXPECT_EQ(p.id, 0u);
        }
        EXPECT_EQ(keys, (std::vector<std::uint32_t>{
                            fourCC("kind"), fourCC("name"), fourCC("catg"), fourCC("8664"),
                            fourCC("ePVR"), fourCC("eSVR"), fourCC("eVER"), fourCC("eINF"),
                            fourCC("eGLO"), fourCC("eGL2"), fourCC("eMNA"), fourCC("aeFL")}));
        EXPECT_EQ(records.kind, fourCC("eFKT"));
        EXPECT_EQ(records.name, e.name);
        EXPECT_EQ(records.category, "Ondrel");
        EXPECT_EQ(records.entryPoint, e.entryName);
        EXPECT_EQ(records.propertyListVersion, (OfflineHost::PiplVersion{2, 0}));
        EXPECT_EQ(records.interfaceVersion, (OfflineHost::PiplVersion{13, 0}));
        EXPECT_EQ(records.effectVersion, 0x80601u);
        EXPECT_EQ(records.infoFlags, 0u);
        EXPECT_EQ(records.outFlags, 0x6000000u);
        EXPECT_EQ(records.outFlags2, 0x1400u);
        EXPECT_EQ(records.matchName, e.matchName);
        EXPECT_EQ(records.aeFlags, 8u);

        // What the offline host reads beside a Linux module is this resource byte for byte.
        EXPECT_EQ(r.data, fromRecordsFile.at(r.name));
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> registeredNames;
    for (const auto& [name, effect] : registered) {
        registeredNames.push_back(name);
    }
    EXPECT_EQ(names, registeredNames);
}

} // namespace
