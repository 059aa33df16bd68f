#include "Util/AEGP_SuiteHandler.h"

#include <cstring>
#include <iterator>

namespace {

struct SuiteId {
    const char* name;
    int32 version;
};

#define AEGP_SUITE_HANDLER_ID(accessor, table, name, version) SuiteId{name, version},
constexpr SuiteId suiteIds[] = {AEGP_SUITE_HANDLER_SUITES(AEGP_SUITE_HANDLER_ID)};
#undef AEGP_SUITE_HANDLER_ID

} // namespace

AEGP_SuiteHandler::AEGP_SuiteHandler(const SPBasicSuite* basicSuite) : m_basicSuite(basicSuite) {
    static_assert(std::size(suiteIds) == static_cast<std::size_t>(Slot::Count));
    if (!m_basicSuite) {
        MissingSuiteError();
    }
}

AEGP_SuiteHandler::~AEGP_SuiteHandler() {
    ReleaseAllSuites();
}

void* AEGP_SuiteHandler::_suite(Slot slot) const {
    const auto index = static_cast<std::size_t>(slot);
    if (!m_suites[index]) {
        const void* suite = nullptr;
        const SPErr err =
            m_basicSuite->AcquireSuite(suiteIds[index].name, suiteIds[index].version, &suite);
        if (err != 0 || !suite) {
            MissingSuiteError();
        }
        m_suites[index] = suite;
    }
    // The host hands out its function tables as const void*; the tables' own declarations are
    // not const, so the accessors return them as they are declared.
    return const_cast<void*>(m_suites[index]);
}

void AEGP_SuiteHandler::ReleaseSuite(const char* name, int32 version) {
    for (std::size_t i = 0; i < m_suites.size(); ++i) {
        if (m_suites[i] && suiteIds[i].version == version &&
            std::strcmp(suiteIds[i].name, name) == 0) {
            m_suites[i] = nullptr;
        }
    }
    m_basicSuite->ReleaseSuite(name, version);
}

void AEGP_SuiteHandler::ReleaseAllSuites() {
    for (std::size_t i = 0; i < m_suites.size(); ++i) {
        if (m_suites[i]) {
            m_suites[i] = nullptr;
            m_basicSuite->ReleaseSuite(suiteIds[i].name, suiteIds[i].version);
        }
    }
}
