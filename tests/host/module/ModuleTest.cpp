// Loading a module: its records, its entry points, and the errors for what is missing.

#include "PiplWriter.h"
#include "ProbeRecords.h"
#include "tests/host/HostTestSupport.h"

#include "host/module/Module.h"
#include "host/system/HostError.h"
#include "tests/support/LoadError.h"

#include <filesystem>

using namespace OfflineHost;
namespace fs = std::filesystem;

namespace {

using TestSupport::loadError;

// A copy of the probe library in a folder of its own, with the records the test writes.
class ModuleCopy {
public:
    explicit ModuleCopy(const std::string& name)
        : m_folder(fs::temp_directory_path() / ("host-test-" + name)) {
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        library = m_folder / (name + ".so");
        fs::copy_file(HOST_PROBE_PATH, library);
    }
    ~ModuleCopy() { fs::remove_all(m_folder); }
    void writeRecords(const PiplWriter::Bytes& bytes) const {
        auto records = library;
        records.replace_extension(".pipl");
        PiplWriter::write(records.string(), bytes);
    }
    fs::path library;

private:
    fs::path m_folder;
};

PiplWriter::Effect probeRecords(const std::string& entry) {
    return {16000, "Copy", "Tests", entry, "Copy", Probe::version, 0, 0};
}

} // namespace

TEST(Module, FindsEachEffectAndItsEntryPoint) {
    const auto module = HostTest::probeModule();
    ASSERT_EQ(module->effects().size(), 2u);
    const auto& probe = module->effect("HostProbe");
    EXPECT_EQ(probe.resource.id, 16000);
    EXPECT_EQ(probe.records().entryPoint, "HostProbeEntry");
    EXPECT_EQ(probe.records().effectVersion, Probe::version);
    EXPECT_NE(probe.entry, nullptr);
    const auto& mismatch = module->effect("HostProbeMismatch");
    EXPECT_NE(mismatch.entry, probe.entry);
    EXPECT_THROW(module->effect("NoSuchEffect"), HostError);
}

TEST(Module, NamesTheFileAndWhatIsMissing) {
    const fs::path absent = fs::temp_directory_path() / "host-test-absent.so";
    const std::string noFile = loadError(absent);
    EXPECT_NE(noFile.find(absent.string()), std::string::npos) << noFile;

    ModuleCopy bare("bare");
    const std::string noRecords = loadError(bare.library);
    EXPECT_NE(noRecords.find("no registration records"), std::string::npos) << noRecords;
    EXPECT_NE(noRecords.find(bare.library.string()), std::string::npos) << noRecords;

    ModuleCopy wrongEntry("wrong-entry");
    wrongEntry.writeRecords(PiplWriter::recordsFile({probeRecords("NoSuchEntry")}));
    const std::string noEntry = loadError(wrongEntry.library);
    EXPECT_NE(noEntry.find("'NoSuchEntry'"), std::string::npos) << noEntry;
    EXPECT_NE(noEntry.find(wrongEntry.library.string()), std::string::npos) << noEntry;

    ModuleCopy empty("empty");
    empty.writeRecords({});
    EXPECT_NE(loadError(empty.library).find("hold no effect"), std::string::npos);

    ModuleCopy unnamed("unnamed");
    auto properties = PiplWriter::effectProperties(probeRecords("HostProbeEntry"));
    properties.erase(properties.begin() + 3); // the entry point
    unnamed.writeRecords(PiplWriter::resource(16000, PiplWriter::propertyList(properties)));
    EXPECT_NE(loadError(unnamed.library).find("name no entry point"), std::string::npos);

    ModuleCopy good("good");
    good.writeRecords(PiplWriter::recordsFile({probeRecords("HostProbeEntry")}));
    EXPECT_EQ(loadError(good.library), "");
}

TEST(Module, WarnsWhenGlobalSetUpDisagreesWithTheRecords) {
    auto probe = HostTest::setUpProbe("HostProbe");
    EXPECT_TRUE(probe->warnings().empty());

    auto mismatch = HostTest::setUpProbe("HostProbeMismatch");
    const auto& warnings = mismatch->warnings();
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("version"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("out-flags2"), std::string::npos) << warnings[1];
}

TEST(Module, AboutReturnsTheMessage) {
    auto probe = HostTest::setUpProbe();
    EXPECT_EQ(probe->about(), "HostProbe v1.2");
}
