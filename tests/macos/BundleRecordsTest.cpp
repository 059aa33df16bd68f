// The bundle's registration resources as a Mac host reads them, property by property against the
// records of the Windows plug-in: the same effects, values and order, with the one Windows entry
// point property replaced by the Mac's two, one per architecture, naming the same function.

#include "MachOImage.h"
#include "Shapes/OndrelRegistration.h"

#include "host/module/Pipl.h"
#include "plugin/shapes/ResourceFork.h"
#include "tests/support/Files.h"
#include "windows/PeImage.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using OfflineHost::fourCC;
using OfflineHost::fourCCText;

const std::filesystem::path resourceFile =
    ONDREL_MAC_BUNDLE "/Contents/Resources/OndrelShapes.rsrc";
const std::filesystem::path aexFile = ONDREL_WINDOWS_MODULE_PATH;

// The Windows records with the Mac's entry points, Intel ('mi64') then Apple silicon ('ma64'),
// where the Windows x64 one ('8664') stands.
std::vector<OfflineHost::PiplProperty>
withMacEntryPoints(const std::vector<OfflineHost::PiplProperty>& windows) {
    std::vector<OfflineHost::PiplProperty> mac;
    for (const auto& p : windows) {
        if (p.key != fourCC("8664")) {
            mac.push_back(p);
            continue;
        }
        for (const std::uint32_t key : {fourCC("mi64"), fourCC("ma64")}) {
            mac.push_back(p);
            mac.back().key = key;
        }
    }
    return mac;
}

TEST(MacBundleRecords, AreTheWindowsRecordsWithTheMacEntryPoints) {
    for (const auto& file : {resourceFile, aexFile}) {
        if (!std::filesystem::exists(file)) {
            GTEST_SKIP() << file.string() << " was not built (make mac and make windows build it)";
        }
    }
    std::map<std::string, std::vector<std::uint8_t>> windows;
    for (const auto& r : PeTest::PeImage::read(aexFile).resources()) {
        ASSERT_EQ(r.type, "PIPL");
        windows[r.name] = r.data;
    }
    const auto fork = TestSupport::readBytes(resourceFile);
    const auto mac = ResourceFork::resourcesOfType(fork, fourCC("PiPL"));
    ASSERT_EQ(mac.size(), Ondrel::Registration::effects.size());
    ASSERT_EQ(windows.size(), Ondrel::Registration::effects.size());

    for (const auto& r : mac) {
        SCOPED_TRACE(r.id);
        const std::string name = "#" + std::to_string(r.id);
        ASSERT_TRUE(windows.contains(name)) << "no Windows resource " << name;
        ASSERT_GE(r.bytes.size(), 2u);
        EXPECT_EQ(r.bytes[1], 1) << "the list's version word is not big-endian";

        const auto expected =
            withMacEntryPoints(OfflineHost::parsePropertyList(windows.at(name)).properties);
        const auto actual =
            OfflineHost::parsePropertyList(ResourceFork::bigToLittlePropertyList(r.bytes))
                .properties;
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            SCOPED_TRACE(fourCCText(expected[i].key));
            EXPECT_EQ(fourCCText(actual[i].key), fourCCText(expected[i].key));
            EXPECT_EQ(actual[i].vendor, expected[i].vendor);
            EXPECT_EQ(actual[i].id, expected[i].id);
            EXPECT_EQ(actual[i].data, expected[i].data);
        }
    }
}

} // namespace
