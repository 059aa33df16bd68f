// The registration records in every generated form, read back with the offline host's parser
// and compared with the documented values.

#include "ModuleFiles.h"
#include "ResourceFork.h"

#include "host/instance/EffectInstance.h"
#include "host/module/Module.h"
#include "host/module/Pipl.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>

namespace {

using OfflineHost::EffectRecords;
using OfflineHost::fourCC;

struct DocumentedEffect {
    const char* name;
    const char* entry;
    int resourceId;
};

// The records are the module's interface with saved projects, so they are written out here, apart
// from the registration table they are generated from: a new effect is documented here as well.
const DocumentedEffect documented[] = {
    {"OndrelCircle", "EntryPointFuncCircle", 16002},
    {"OndrelLine", "EntryPointFuncLine", 16001},
    {"OndrelRectangle", "EntryPointFuncRectangle", 16003},
    {"OndrelTriangle", "EntryPointFuncTriangle", 16000},
};

const DocumentedEffect& documentedById(int id) {
    const auto* it = std::find_if(std::begin(documented), std::end(documented),
                                  [&](const DocumentedEffect& e) { return e.resourceId == id; });
    if (it == std::end(documented)) {
        throw std::runtime_error("undocumented resource id " + std::to_string(id));
    }
    return *it;
}

std::vector<std::uint32_t> keysOf(const EffectRecords& r) {
    std::vector<std::uint32_t> keys;
    for (const auto& p : r.properties) {
        keys.push_back(p.key);
    }
    return keys;
}

const std::vector<std::uint32_t> windowsKeys{
    fourCC("kind"), fourCC("name"), fourCC("catg"), fourCC("8664"), fourCC("ePVR"), fourCC("eSVR"),
    fourCC("eVER"), fourCC("eINF"), fourCC("eGLO"), fourCC("eGL2"), fourCC("eMNA"), fourCC("aeFL")};

// Everything but the entry point, which each platform names under its own key.
void expectCommonValues(const EffectRecords& r, const DocumentedEffect& e) {
    EXPECT_EQ(r.kind, fourCC("eFKT"));
    EXPECT_EQ(r.name, e.name);
    EXPECT_EQ(r.category, "Ondrel");
    EXPECT_EQ(r.propertyListVersion, (OfflineHost::PiplVersion{2, 0}));
    EXPECT_EQ(r.interfaceVersion, (OfflineHost::PiplVersion{13, 0}));
    EXPECT_EQ(r.effectVersion, 0x80601u);
    EXPECT_EQ(r.infoFlags, 0u);
    EXPECT_EQ(r.outFlags, 0x6000000u);
    EXPECT_EQ(r.outFlags2, 0x1400u);
    EXPECT_EQ(r.matchName, e.name);
    EXPECT_EQ(r.aeFlags, 8u);
    for (const auto& p : r.properties) {
        EXPECT_EQ(p.vendor, fourCC("8BIM"));
        EXPECT_EQ(p.id, 0u);
        EXPECT_EQ(p.data.size() % 4, 0u) << OfflineHost::fourCCText(p.key);
    }
}

void expectWindowsRecords(const EffectRecords& r, const DocumentedEffect& e) {
    expectCommonValues(r, e);
    EXPECT_EQ(r.entryPoint, e.entry);
    EXPECT_EQ(keysOf(r), windowsKeys);
}

// ---- The Windows resource script: "<id> PIPL", the language, and the bytes as 16-bit words.

struct ScriptResource {
    int id;
    std::string language;
    std::vector<std::uint8_t> bytes;
};

std::vector<ScriptResource> parseResourceScript(const std::string& text) {
    const std::regex block(R"((\d+)\s+PIPL\s+LANGUAGE\s+([^\n]*?)\s*\n\s*BEGIN([\s\S]*?)END)");
    const std::regex word(R"(0x([0-9A-Fa-f]{4})\b)");
    std::vector<ScriptResource> out;
    for (std::sregex_iterator it(text.begin(), text.end(), block), end; it != end; ++it) {
        ScriptResource r{std::stoi((*it)[1]), (*it)[2], {}};
        const std::string body = (*it)[3];
        for (std::sregex_iterator w(body.begin(), body.end(), word); w != end; ++w) {
            const auto value = std::stoul((*w)[1], nullptr, 16);
            r.bytes.push_back(
                static_cast<std::uint8_t>(value & 0xFF)); // RC words are little-endian
            r.bytes.push_back(static_cast<std::uint8_t>(value >> 8));
        }
        out.push_back(std::move(r));
    }
    return out;
}

// ---- Tests.

TEST(RegistrationRecords, PiplFileBesideTheModuleHoldsTheDocumentedRecords) {
    const auto resources = OfflineHost::readPiplFile(ModuleFiles::beside(".pipl"));
    ASSERT_EQ(resources.size(), std::size(documented));
    std::vector<int> ids;
    for (const auto& r : resources) {
        SCOPED_TRACE(r.id);
        ids.push_back(r.id);
        EXPECT_EQ(r.language, 1033);
        expectWindowsRecords(r.records, documentedById(r.id));
    }
    std::vector<int> documentedIds;
    for (const DocumentedEffect& e : documented) {
        documentedIds.push_back(e.resourceId);
    }
    std::sort(ids.begin(), ids.end());
    std::sort(documentedIds.begin(), documentedIds.end());
    EXPECT_EQ(ids, documentedIds);
}

TEST(RegistrationRecords, WindowsResourceScriptHoldsTheSameBytesAsThePiplFile) {
    const auto script = parseResourceScript(TestSupport::readText(ModuleFiles::beside(".rc")));
    ASSERT_EQ(script.size(), std::size(documented));

    // The .pipl file is the resource bytes behind a 16-byte header each.
    const std::vector<std::uint8_t> pipl = TestSupport::readBytes(ModuleFiles::beside(".pipl"));
    std::map<int, std::vector<std::uint8_t>> piplBytes;
    for (std::size_t at = 0; at + 16 <= pipl.size();) {
        const auto le32 = [&](std::size_t p) {
            return static_cast<std::uint32_t>(pipl[p] | pipl[p + 1] << 8 | pipl[p + 2] << 16 |
                                              pipl[p + 3] << 24);
        };
        const std::uint32_t length = le32(at + 12);
        piplBytes[static_cast<int>(le32(at + 4))].assign(pipl.begin() + at + 16,
                                                         pipl.begin() + at + 16 + length);
        at += 16 + length;
    }

    for (const auto& r : script) {
        SCOPED_TRACE(r.id);
        EXPECT_EQ(r.language, "0x09, 0x01"); // LANG_ENGLISH, SUBLANG_ENGLISH_US: 1033
        expectWindowsRecords(OfflineHost::parsePropertyList(r.bytes), documentedById(r.id));
        EXPECT_EQ(r.bytes, piplBytes[r.id]);
    }
}

TEST(RegistrationRecords, MacResourceFileHoldsTheSameRecordsBigEndianWithMacEntryPoints) {
    const auto fork = TestSupport::readBytes(ModuleFiles::beside(".rsrc"));
    const auto resources = ResourceFork::resourcesOfType(fork, fourCC("PiPL"));
    ASSERT_EQ(resources.size(), std::size(documented));
    for (const auto& r : resources) {
        SCOPED_TRACE(r.id);
        const DocumentedEffect& e = documentedById(r.id);
        const EffectRecords records =
            OfflineHost::parsePropertyList(ResourceFork::bigToLittlePropertyList(r.bytes));
        expectCommonValues(records, e);

        std::vector<std::uint32_t> keys = windowsKeys;
        keys[3] = fourCC("mi64");
        keys.insert(keys.begin() + 4, fourCC("ma64"));
        EXPECT_EQ(keysOf(records), keys);
        for (const auto& p : records.properties) {
            if (p.key == fourCC("mi64") || p.key == fourCC("ma64")) {
                EXPECT_STREQ(reinterpret_cast<const char*>(p.data.data()), e.entry);
            }
        }
    }
}

TEST(RegistrationRecords, GlobalSetupWritesTheVersionAndFlagsTheRecordsDeclare) {
    auto module = std::make_shared<const OfflineHost::Module>(ModuleFiles::module());
    ASSERT_EQ(module->effects().size(), std::size(documented));
    for (const auto& effect : module->effects()) {
        SCOPED_TRACE(effect.records().name);
        OfflineHost::EffectInstance instance(module, effect.records().name);
        ASSERT_EQ(instance.globalSetup(), PF_Err_NONE);
        const PF_OutData& out = instance.outData();
        EXPECT_EQ(out.my_version, effect.records().effectVersion);
        EXPECT_EQ(static_cast<std::uint32_t>(out.out_flags), effect.records().outFlags);
        EXPECT_EQ(static_cast<std::uint32_t>(out.out_flags2), effect.records().outFlags2);
        EXPECT_TRUE(instance.warnings().empty());
    }
}

} // namespace
