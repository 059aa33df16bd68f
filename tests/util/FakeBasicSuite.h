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
        _basic.AcquireSuite = &FakeBasicSuite::_acquire;
        _basic.ReleaseSuite = &FakeBasicSuite::_release;
    }
    ~FakeBasicSuite() { current = nullptr; }
    FakeBasicSuite(const FakeBasicSuite&) = delete;
    FakeBasicSuite& operator=(const FakeBasicSuite&) = delete;

    SPBasicSuite* basic() { return &_basic; }

    // The suite table the broker hands out for name/version.
    const void* offer(const std::string& name, int32 version) { return &_tables[{name, version}]; }
    // The broker reports this error code for name/version, yet still hands out a table.
    void failWithTable(const std::string& name, int32 version, SPErr err) {
        offer(name, version);
        _errors[{name, version}] = err;
    }

    int acquireCalls(const std::string& name, int32 version) const {
        return _count(_acquired, name, version);
    }
    int releaseCalls(const std::string& name, int32 version) const {
        return _count(_released, name, version);
    }
    int totalAcquireCalls() const { return _total(_acquired); }
    int totalReleaseCalls() const { return _total(_released); }

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
        ++self._acquired[key];
        const auto table = self._tables.find(key);
        *suite = table == self._tables.end() ? nullptr : &table->second;
        if (const auto err = self._errors.find(key); err != self._errors.end()) {
            return err->second;
        }
        return table == self._tables.end() ? 1 : kSPNoError;
    }
    static SPErr _release(const char* name, int32 version) {
        ++current->_released[{name, version}];
        return kSPNoError;
    }

    static inline FakeBasicSuite* current = nullptr;

    SPBasicSuite _basic{};
    std::map<Key, Table> _tables;
    std::map<Key, SPErr> _errors;
    std::map<Key, int> _acquired;
    std::map<Key, int> _released;
};
