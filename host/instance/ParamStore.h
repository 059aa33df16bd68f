#pragma once

// The host's store of an effect's parameters: the definitions the module added, the values set
// over time, and what checkout_param delivers from them.

#include "AE_Effect.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace OfflineHost {

// How a parameter's value moves from one keyframe to the next: the keyframe's interpolation
// shapes the way out of it.
enum class Interpolation {
    Linear, // at constant speed, every number and colour channel on its own
    Hold,   // unchanged until the next keyframe
    Ease,   // a cubic ease out of the keyframe and into the next, with zero speed at both:
            // the easy-ease curve, value = 3f^2 - 2f^3 of the linear fraction f
};

// Whether a parameter's value can move between keyframes. Popups, checkboxes and parameters
// flagged PF_ParamFlag_CANNOT_INTERP only hold.
bool interpolates(const PF_ParamDef& def);

// What a checkout depends on beside the time.
struct CheckoutScale {
    double downsampleX = 1.0;
    double downsampleY = 1.0;
    A_long layerWidth = 0; // full resolution, for point defaults given in percent
    A_long layerHeight = 0;
};

class ParamStore {
public:
    ParamStore();

    // Back to the input layer alone (index 0).
    void reset();
    int count() const { return static_cast<int>(m_slots.size()); }

    // Appends a definition (index -1 or the next index), copying its strings into host storage.
    // Returns the host's error code for a refused definition and says why in `problem`.
    PF_Err add(PF_ParamIndex index, const PF_ParamDef& def, std::string& problem);

    // Throws HostError for an index out of range.
    const PF_ParamDef& definition(int index) const;
    void setUIFlags(int index, PF_ParamUIFlags flags);

    // Keyframes in natural units (see EffectInstance), replacing one at the same time. Without
    // an interpolation a keyframe moves on linearly where the parameter interpolates and holds
    // otherwise. Throw HostError for a type that does not take the value, a popup item out of
    // range, or a parameter that only holds asked to move.
    void setValue(int index, double value, double seconds,
                  std::optional<Interpolation> interpolation = std::nullopt);
    void setPoint(int index, double x, double y, double seconds,
                  std::optional<Interpolation> interpolation = std::nullopt);
    void setColor(int index, const PF_Pixel& color, double seconds,
                  std::optional<Interpolation> interpolation = std::nullopt);

    // Every parameter back to its definition's value: all keyframes go.
    void clearKeyframes();

    // The definition with its value at the time, in the form checkout_param delivers.
    PF_ParamDef valueAt(int index, double seconds, const CheckoutScale& scale) const;

private:
    struct Keyframe {
        double seconds = 0.0;
        double a = 0.0; // the value, or a point's x
        double b = 0.0; // a point's y
        PF_Pixel color{};
        Interpolation interpolation = Interpolation::Linear; // towards the next keyframe
    };
    struct Slot {
        PF_ParamDef def{};
        std::unique_ptr<char[]> text; // the popup items, checkbox or button label
        std::vector<Keyframe> keys;   // by time
    };

    Slot& _slot(int index);
    const Slot& _slot(int index) const;
    void _setKey(int index, Keyframe key, std::optional<Interpolation> interpolation);
    // The value without keyframes, in natural units.
    Keyframe _definedValue(const Slot& slot, const CheckoutScale& scale) const;
    Keyframe _valueAt(const Slot& slot, double seconds, const CheckoutScale& scale) const;

    std::vector<Slot> m_slots;
};

} // namespace OfflineHost
