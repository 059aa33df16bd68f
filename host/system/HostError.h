#pragma once

// The one exception type of the offline host's C++ interface.

#include <stdexcept>

namespace OfflineHost {

// A failure of the host or of its caller: a module that cannot be loaded, a records file that
// cannot be read, a bad argument to the host's own API. What a module does wrong during a command
// is never thrown: the module's result is returned as PF_Err, and the host's callbacks answer
// misuse with host error codes (see Diagnostics.h).
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What strict mode (EffectInstance::setStrict) found a module doing wrong in a command.
class StrictModeError : public HostError {
public:
    using HostError::HostError;
};

} // namespace OfflineHost
