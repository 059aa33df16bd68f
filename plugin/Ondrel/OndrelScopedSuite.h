// A suite acquired with AEFX_AcquireSuite for one scope and released with AEFX_ReleaseSuite when
// the scope ends, only if the acquisition succeeded. A failed acquisition has already put its
// message into the output record; the caller stores getError() and skips the work.
#pragma once

#include "AE_Effect.h"
#include "Util/AEFX_SuiteHelper.h"

namespace Ondrel {

template <typename Suite>
class ScopedSuite {
public:
    ScopedSuite(PF_InData* inData, PF_OutData* outData, const char* name, int version)
        : m_inData(inData), m_outData(outData), m_name(name), m_version(version) {
        void* suite = nullptr;
        m_err = AEFX_AcquireSuite(m_inData, m_outData, m_name, m_version, "Couldn't load suite.",
                                  &suite);
        if (m_err == PF_Err_NONE) {
            m_suite = static_cast<const Suite*>(suite);
        }
    }

    // The release cannot fail once the acquisition succeeded: both need only the basic suite.
    ~ScopedSuite() {
        if (m_suite != nullptr) {
            AEFX_ReleaseSuite(m_inData, m_outData, m_name, m_version, "Couldn't release suite.");
        }
    }

    ScopedSuite(const ScopedSuite&) = delete;
    ScopedSuite& operator=(const ScopedSuite&) = delete;

    PF_Err getError() const { return m_err; }
    const Suite* operator->() const { return m_suite; }

private:
    PF_InData* m_inData;
    PF_OutData* m_outData;
    const char* m_name;
    int m_version;
    PF_Err m_err = PF_Err_NONE;
    const Suite* m_suite = nullptr;
};

} // namespace Ondrel
