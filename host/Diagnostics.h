#pragma once

// What the host records about the calls a module makes, and what it finds left behind after each
// command. Read through EffectInstance.

#include "World.h"

#include <cstddef>
#include <string>
#include <vector>

namespace OfflineHost {

// The basic suite's answers for a suite it does not have ('S!Fd') and for a bad argument such as
// releasing a suite that was not acquired ('Parm'), as the vendor's suite broker gives them.
constexpr int suiteNotFoundError = 0x53214664;
constexpr int badParameterError = 0x5061726D;

// One call a module made into the host. `name` is the callback's or suite function's name as the
// SDK spells it ("checkout_param", "host_new_handle", "AcquireSuite", "PF_NewWorld", ...);
// `detail` holds the arguments that matter, as text ("index=3 time=0/30", "\"PF Handle Suite\"
// v2"); `result` is the code returned (for calls without a code: 0, or the code the host would
// have returned had it been able to).
struct CallRecord {
    std::string name;
    std::string detail;
    int result = 0;
};

// A call the host refused or could not honour because the module misused it (an unknown suite,
// a handle disposed twice or not the module's, an unknown checkout id, a null or unknown world,
// a bad index). Each misuse is also in the call log.
struct Misuse {
    std::string call;
    std::string problem;
    int result = 0;
};

struct LiveHandle {
    const void* handle = nullptr;
    std::size_t size = 0;
    bool isGlobalData = false; // the handle the host keeps as the effect's global data
};

struct LiveWorld {
    A_long width = 0;
    A_long height = 0;
    PixelDepth depth = PixelDepth::Bits8;
};

struct UnreleasedSuite {
    std::string name;
    int version = 0;
    int count = 0; // acquisitions not matched by a release
};

// What the module holds after a command: handles it allocated and has not disposed, worlds it
// created and has not disposed, suites acquired more often than released (all counted over the
// instance's life), and parameters it checked out during the command and did not check in (the
// host takes those back when the command ends).
struct Account {
    std::vector<LiveHandle> liveHandles;
    std::vector<LiveWorld> liveWorlds;
    std::vector<UnreleasedSuite> unreleasedSuites;
    std::vector<int> paramsNotCheckedIn;

    // Nothing left behind apart from the global-data handle.
    bool clean() const;
};

} // namespace OfflineHost
