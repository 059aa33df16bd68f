// The registration-records parser, on bytes laid out by hand and by the independent writer.

#include "PiplWriter.h"

#include "host/module/Pipl.h"
#include "host/system/HostError.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace OfflineHost;

namespace {

PiplWriter::Effect sampleEffect() {
    PiplWriter::Effect e;
    e.resourceId = 16002;
    e.name = "Sample";
    e.entryPoint = "SampleEntry";
    e.matchName = "Sample Match";
    e.version = 0x80601;
    e.outFlags = 0x6000000;
    e.outFlags2 = 0x1400;
    return e;
}

} // namespace

TEST(Pipl, ReadsAllTwelvePropertiesInOrder) {
    const auto bytes = PiplWriter::propertyList(PiplWriter::effectProperties(sampleEffect()));
    const EffectRecords r = parsePropertyList(bytes);
    EXPECT_EQ(r.kind, fourCC("eFKT"));
    EXPECT_EQ(r.name, "Sample");
    EXPECT_EQ(r.category, "Ondrel");
    EXPECT_EQ(r.entryPoint, "SampleEntry");
    EXPECT_EQ(r.propertyListVersion, (PiplVersion{2, 0}));
    EXPECT_EQ(r.interfaceVersion, (PiplVersion{13, 0}));
    EXPECT_EQ(r.effectVersion, 0x80601u);
    EXPECT_EQ(r.infoFlags, 0u);
    EXPECT_EQ(r.outFlags, 0x6000000u);
    EXPECT_EQ(r.outFlags2, 0x1400u);
    EXPECT_EQ(r.matchName, "Sample Match");
    EXPECT_EQ(r.aeFlags, 8u);
    const std::uint32_t order[] = {fourCC("kind"), fourCC("name"), fourCC("catg"), fourCC("8664"),
                                   fourCC("ePVR"), fourCC("eSVR"), fourCC("eVER"), fourCC("eINF"),
                                   fourCC("eGLO"), fourCC("eGL2"), fourCC("eMNA"), fourCC("aeFL")};
    ASSERT_EQ(r.properties.size(), std::size(order));
    for (std::size_t i = 0; i < std::size(order); ++i) {
        EXPECT_EQ(r.properties[i].key, order[i]) << i;
        EXPECT_EQ(r.properties[i].vendor, fourCC("8BIM"));
    }
}

TEST(Pipl, ReadsBytesLaidOutByHand) {
    // Two properties: a version pair (major 13, minor 2) and a Pascal name "Ab" padded to 4.
    const std::vector<std::uint8_t> bytes = {
        1,   0,   0,   0,   0,   0,   2,   0,   0, 0, // word 1, version 0, count 2
        'M', 'I', 'B', '8', 'R', 'V', 'S', 'e', 0, 0, 0, 0, 4, 0, 0, 0, // '8BIM' 'eSVR' id 0 len 4
        13,  0,   2,   0,                                               // major 13, minor 2
        'M', 'I', 'B', '8', 'e', 'm', 'a', 'n', 0, 0, 0, 0, 4, 0, 0, 0, // '8BIM' 'name' id 0 len 4
        2,   'A', 'b', 0};
    const EffectRecords r = parsePropertyList(bytes);
    EXPECT_EQ(r.interfaceVersion, (PiplVersion{13, 2}));
    EXPECT_EQ(r.name, "Ab");
    EXPECT_TRUE(r.has(fourCC("name")));
    EXPECT_FALSE(r.has(fourCC("8664")));
    EXPECT_TRUE(r.entryPoint.empty());
}

TEST(Pipl, RefusesMalformedLists) {
    auto good = PiplWriter::propertyList(PiplWriter::effectProperties(sampleEffect()));
    auto truncated = good;
    truncated.resize(good.size() - 3);
    EXPECT_THROW(parsePropertyList(truncated), HostError);

    auto badHeader = good;
    badHeader[0] = 2;
    EXPECT_THROW(parsePropertyList(badHeader), HostError);

    // A Pascal string whose length byte runs past its data.
    auto longName = PiplWriter::propertyList({{fourCC("name"), {200, 'x'}}});
    EXPECT_THROW(parsePropertyList(longName), HostError);

    // An entry point without its terminating zero.
    auto unterminated = PiplWriter::propertyList({{fourCC("8664"), {'a', 'b', 'c', 'd'}}});
    EXPECT_THROW(parsePropertyList(unterminated), HostError);
}

TEST(Pipl, ReadsEveryResourceOfARecordsFile) {
    auto second = sampleEffect();
    second.resourceId = 16003;
    second.name = "Other";
    const auto bytes = PiplWriter::recordsFile({sampleEffect(), second});
    const auto resources = parsePiplResources(bytes);
    ASSERT_EQ(resources.size(), 2u);
    EXPECT_EQ(resources[0].id, 16002);
    EXPECT_EQ(resources[0].language, 1033);
    EXPECT_EQ(resources[1].id, 16003);
    EXPECT_EQ(resources[1].records.name, "Other");

    auto wrongType = bytes;
    wrongType[0] = 'X';
    EXPECT_THROW(parsePiplResources(wrongType), HostError);

    const auto missing = std::filesystem::temp_directory_path() / "no-such-records.pipl";
    try {
        readPiplFile(missing);
        FAIL() << "a missing file was read";
    } catch (const HostError& e) {
        EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos);
    }
}
