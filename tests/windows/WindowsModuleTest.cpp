// The offline host's Windows loader: the records come from the library's own PIPL resources, and
// a library without them, or no library at all, is refused with the file's name.

#include "Shapes/OndrelRegistration.h"
#include "host/module/Module.h"
#include "tests/support/LoadError.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

using OfflineHost::Module;
using TestSupport::loadError;

TEST(WindowsModule, ReadsTheRecordsFromThePiplResources) {
    const Module module(ONDREL_MODULE_PATH);
    std::vector<int> ids;
    for (const auto& effect : module.effects()) {
        ids.push_back(effect.resource.id);
        EXPECT_EQ(effect.resource.language, 1033);
        EXPECT_NE(effect.entry, nullptr);
    }
    std::vector<int> registered;
    for (const Ondrel::EffectRegistration& effect : Ondrel::Registration::effects) {
        registered.push_back(effect.resourceId);
    }
    std::sort(ids.begin(), ids.end());
    std::sort(registered.begin(), registered.end());
    EXPECT_EQ(ids, registered);
    EXPECT_EQ(module.effect("OndrelTriangle").records().entryPoint, "EntryPointFuncTriangle");
    EXPECT_NE(module.effect("OndrelCircle").entry, module.effect("OndrelLine").entry);
}

TEST(WindowsModule, RefusesAMissingFileAndALibraryWithoutRecords) {
    const std::filesystem::path absent =
        std::filesystem::path(ONDREL_MODULE_PATH).replace_filename("NoSuchModule.aex");
    const std::string noFile = loadError(absent);
    EXPECT_NE(noFile.find("cannot load module"), std::string::npos) << noFile;
    EXPECT_NE(noFile.find("NoSuchModule.aex"), std::string::npos) << noFile;

    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::string noRecords = loadError(self);
    EXPECT_NE(noRecords.find("has no registration records"), std::string::npos) << noRecords;
}

} // namespace
