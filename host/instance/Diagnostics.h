#pragma once

// What tests observe of a module and provoke in it: the calls a module makes into the host, what
// it leaves behind after each command, and faults injected into chosen calls. Reached through
// EffectInstance::diagnostics().

#include "host/pixels/World.h"

#include "AE_Effect.h"

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
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

struct InstanceState;
struct CommandState;

// The diagnostics and fault injection of one effect instance. The host's callbacks feed the call
// log and ask for injected faults; nothing here changes how the host serves a module until a
// fault is injected or a suite hidden. Safe to use from any thread.
class Diagnostics {
public:
    Diagnostics(const Diagnostics&) = delete;
    Diagnostics& operator=(const Diagnostics&) = delete;

    // ---- What the module did.
    std::vector<CallRecord> calls() const;
    std::vector<Misuse> misuses() const;
    void clearCalls(); // the call log and the misuses
    // What the module holds now; lastAccount() is the same taken when the last command ended.
    Account account() const;
    const Account& lastAccount() const;

    // ---- Fault injection. A failed call returns `code` without doing its work and yields null
    // for what it would have delivered (a handle, a world, a suite), so failCall("host_new_handle",
    // ...) makes host_new_handle return null and failCall("checkout_layer_pixels", PF_Err_NONE)
    // delivers a null world without an error. `occurrence` 0 fails every call from now on; n
    // fails only the n-th call from now on. Throws HostError for a negative occurrence.
    void failCall(std::string_view call, PF_Err code, int occurrence = 0);
    // AcquireSuite refuses this suite as if the host did not have it.
    void hideSuite(std::string_view name, int version);
    void clearFaults();

private:
    // The instance feeds the log and takes the account; nothing else of it is seen here.
    friend struct InstanceState;
    friend struct CommandState;
    // `lock` guards the instance and everything below; `account` tells what the module holds
    // now (called with the lock held).
    Diagnostics(std::mutex& lock, std::function<Account()> account);

    // The host's side; the caller holds the instance's lock.
    void _record(std::string_view call, std::string detail, int result);
    int _misuse(std::string_view call, std::string problem, int result);
    std::optional<PF_Err> _fault(std::string_view call, const std::string& detail);
    bool _hides(std::string_view suite, int version) const;
    void _commandEnded(Account account) { m_lastAccount = std::move(account); }

    struct Fault {
        std::string call;
        PF_Err code = PF_Err_NONE;
        int occurrence = 0; // 0: every call
        int seen = 0;
    };

    std::mutex& m_lock;
    const std::function<Account()> m_account;
    std::vector<CallRecord> m_calls;
    std::vector<Misuse> m_misuses;
    std::vector<Fault> m_faults;
    std::set<std::pair<std::string, int>> m_hiddenSuites;
    Account m_lastAccount;
};

} // namespace OfflineHost
