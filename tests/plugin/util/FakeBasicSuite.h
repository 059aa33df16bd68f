// A minimal suite broker for unit tests: it offers a chosen set of suites (each a distinct dummy
// table) and counts every acquisition and release per suite name and version.
#pragma once

#include "SPBasic.h"

#include <map>
#include <string>
#include <utility>

class FakeBasicSuite {
public:
    using Key = std::pair<std::string, int32>;

    FakeBasicSuite() {
        current = this;
        m_basic.AcquireSuite = &FakeBasicSuite::_acquire;
        m_basic.ReleaseSuite = &FakeBasicSuite::_release;
    }
    ~FakeBasicSuite() { current = nullptr; }
    FakeBasicSuite(const FakeBasicSuite&) = delete;
    FakeBasicSuite& operator=(const FakeBasicSuite&) = delete;

    SPBasicSuite* basic() { return &m_basic; }

    // The suite table the broker hands out for name/version.
    const void* offer(const std::string& name, int32 version) { return &m_tables[{name, version}]; }
    // The broker reports this error code for name/version, yet still hands out a table.
    void failWithTable(const std::string& name, int32 version, SPErr err) {
        offer(name, version);
        m_errors[{name, version}] = err;
    }

    int acquireCalls(const std::string& name, int32 version) const {
        return _count(m_acquired, name, version);
    }
    int releaseCalls(const std::string& name, int32 version) const {
        return _count(m_released, name, version);
    }
    int totalAcquireCalls() const { return _total(m_acquired); }
    int totalReleaseCalls() const { return _total(m_released); }

private:
    struct Table {
        void* slots[8] = {};
    };

    static int _count(const std::map<Key, int>& m, const std::string& name, int32 version) {
        const auto it = m.find({name, version});
        return it == m.end() ? 0 : it->second;
    }
    static int _total(const std::map<Key, int>& m) {
        int sum = 0;
        for (const auto& entry : m) {
            sum += entry.second;
        }
        return sum;
    }

    static SPErr _acquire(const char* name, int32 version, const void** suite) {
        FakeBasicSuite& self = *current;
        const Key key{name, version};
        ++self.m_acquired[key];
        const auto table = self.m_tables.find(key);
        *suite = table == self.m_tables.end() ? nullptr : &table->second;
        if (const auto err = self.m_errors.find(key); err != self.m_errors.end()) {
            return err->second;
        }
        return table == self.m_tables.end() ? 1 : kSPNoError;
    }
    static SPErr _release(const char* name, int32 version) {
        ++current->m_released[{name, version}];
        return kSPNoError;
    }

    static inline FakeBasicSuite* current = nullptr;

    SPBasicSuite m_basic{};
    std::map<Key, Table> m_tables;
    std::map<Key, SPErr> m_errors;
    std::map<Key, int> m_acquired;
    std::map<Key, int> m_released;
};
