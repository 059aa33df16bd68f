#include "host/instance/Diagnostics.h"

#include "host/system/HostError.h"

namespace OfflineHost {

bool Account::clean() const {
    for (const auto& handle : liveHandles) {
        if (!handle.isGlobalData) {
            return false;
        }
    }
    return liveWorlds.empty() && unreleasedSuites.empty() && paramsNotCheckedIn.empty();
}

Diagnostics::Diagnostics(std::mutex& lock, std::function<Account()> account)
    : m_lock(lock), m_account(std::move(account)) {}

std::vector<CallRecord> Diagnostics::calls() const {
    std::lock_guard lock(m_lock);
    return m_calls;
}

std::vector<Misuse> Diagnostics::misuses() const {
    std::lock_guard lock(m_lock);
    return m_misuses;
}

void Diagnostics::clearCalls() {
    std::lock_guard lock(m_lock);
    m_calls.clear();
    m_misuses.clear();
}

Account Diagnostics::account() const {
    std::lock_guard lock(m_lock);
    return m_account();
}

const Account& Diagnostics::lastAccount() const {
    return m_lastAccount;
}

void Diagnostics::failCall(std::string_view call, PF_Err code, int occurrence) {
    if (occurrence < 0) {
        throw HostError("a fault's occurrence is 0 (every call) or a call number from 1");
    }
    std::lock_guard lock(m_lock);
    m_faults.push_back(Fault{std::string(call), code, occurrence, 0});
}

void Diagnostics::hideSuite(std::string_view name, int version) {
    std::lock_guard lock(m_lock);
    m_hiddenSuites.emplace(std::string(name), version);
}

void Diagnostics::clearFaults() {
    std::lock_guard lock(m_lock);
    m_faults.clear();
    m_hiddenSuites.clear();
}

void Diagnostics::_record(std::string_view call, std::string detail, int result) {
    m_calls.push_back(CallRecord{std::string(call), std::move(detail), result});
}

int Diagnostics::_misuse(std::string_view call, std::string problem, int result) {
    _record(call, problem, result);
    m_misuses.push_back(Misuse{std::string(call), std::move(problem), result});
    return result;
}

std::optional<PF_Err> Diagnostics::_fault(std::string_view call, const std::string& detail) {
    for (auto& f : m_faults) {
        if (f.call != call) {
            continue;
        }
        ++f.seen;
        if (f.occurrence == 0 || f.occurrence == f.seen) {
            _record(call, detail + " (injected fault)", f.code);
            return f.code;
        }
    }
    return std::nullopt;
}

bool Diagnostics::_hides(std::string_view suite, int version) const {
    return m_hiddenSuites.count({std::string(suite), version}) != 0;
}

} // namespace OfflineHost
