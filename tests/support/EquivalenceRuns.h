// How long a randomised equivalence test runs and from which seed: ONDREL_EQUIVALENCE_CASES cases
// (the test's own number without it) from ONDREL_EQUIVALENCE_SEED (a fresh seed without it). Case
// i uses seed + i, so that the seed a failure prints repeats it alone with
// ONDREL_EQUIVALENCE_CASES=1.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>

namespace TestSupport {

inline std::uint64_t environmentNumber(const char* name, std::uint64_t otherwise) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : otherwise;
}

inline std::uint64_t equivalenceCases(std::uint64_t otherwise) {
    return environmentNumber("ONDREL_EQUIVALENCE_CASES", otherwise);
}

inline std::uint64_t equivalenceSeed() {
    return environmentNumber("ONDREL_EQUIVALENCE_SEED", std::random_device{}());
}

} // namespace TestSupport
