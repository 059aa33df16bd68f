#pragma once

// Graying rules as data: a popup decides, for each of its values, which of its dependent
// controls are grayed; the rest of them are enabled.

#include <array>
#include <cstdint>
#include <initializer_list>

namespace Ondrel {

// A set of parameter indices (0 to 31), visited in ascending order.
class IndexSet {
public:
    constexpr IndexSet() = default;
    constexpr IndexSet(std::initializer_list<int> indices) {
        for (int i : indices) {
            m_bits |= std::uint32_t{1} << i;
        }
    }

    constexpr bool contains(int index) const { return (m_bits >> index & 1U) != 0; }
    constexpr IndexSet operator|(IndexSet other) const { return IndexSet(m_bits | other.m_bits); }
    constexpr bool operator==(const IndexSet&) const = default;

    template <class F>
    constexpr void forEach(F&& f) const {
        for (int i = 0; i < 32; ++i) {
            if (contains(i)) {
                f(i);
            }
        }
    }

private:
    constexpr explicit IndexSet(std::uint32_t bits) : m_bits(bits) {}

    std::uint32_t m_bits = 0;
};

struct GrayingRule {
    static constexpr int maxChoices = 3;

    int popup;                                   // index of the deciding popup
    IndexSet dependents;                         // updated in ascending index order
    std::array<IndexSet, maxChoices> grayedWhen; // [popup value - 1]: the dependents grayed
    int choiceCount;                             // values outside 1..choiceCount change nothing
};

// The "Mode" popup of every effect ("Fill", "Stroke", "Fill and Stroke"), followed directly by
// "Stroke Width", "Fill Color" and "Stroke Color".
constexpr GrayingRule modeGraying(int mode) {
    const int strokeWidth = mode + 1;
    const int fillColor = mode + 2;
    const int strokeColor = mode + 3;
    return GrayingRule{mode,
                       {strokeWidth, fillColor, strokeColor},
                       {IndexSet{strokeWidth, strokeColor}, IndexSet{fillColor}, IndexSet{}},
                       3};
}

} // namespace Ondrel
