// The integer a call throws: the module's suite access throws the host's error code for a suite
// it cannot get.
#pragma once

namespace TestSupport {

// -1 when the call throws nothing.
template <typename F>
int thrownCode(F&& f) {
    try {
        f();
    } catch (int code) {
        return code;
    }
    return -1;
}

} // namespace TestSupport
