#include "host/instance/ParamStore.h"

#include "host/system/HostError.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

namespace OfflineHost {
namespace {

// Longest popup item list the host copies; a longer one is taken for unterminated text.
constexpr std::size_t maxTextLength = 1 << 16;

// A NaN, which an interpolation between extreme keyframes can still yield (infinity times 0),
// becomes 0: converting it is undefined.
PF_Fixed toFixed(double value) {
    const double scaled = std::round(value * 65536.0);
    constexpr double lo = std::numeric_limits<PF_Fixed>::min();
    constexpr double hi = std::numeric_limits<PF_Fixed>::max();
    return std::isnan(scaled) ? 0 : static_cast<PF_Fixed>(std::clamp(scaled, lo, hi));
}

double fromFixed(PF_Fixed value) {
    return value / 65536.0;
}

A_long toLong(double value) {
    constexpr double lo = std::numeric_limits<A_long>::min();
    constexpr double hi = std::numeric_limits<A_long>::max();
    return std::isnan(value) ? 0 : static_cast<A_long>(std::clamp(std::round(value), lo, hi));
}

// Only a float slider holds a number that is not finite; the others hold 16.16 or integers.
void requireFinite(const PF_ParamDef& def, int index, std::initializer_list<double> values) {
    for (const double value : values) {
        if (!std::isfinite(value) && def.param_type != PF_Param_FLOAT_SLIDER) {
            throw HostError("parameter " + std::to_string(index) + " ('" + def.name +
                            "') takes only finite numbers, not " + std::to_string(value));
        }
    }
}

// The share of the way from one keyframe to the next at linear fraction f (0 to 1).
double progress(Interpolation interpolation, double f) {
    return interpolation == Interpolation::Ease ? f * f * (3.0 - 2.0 * f) : f;
}

A_u_char mixChannel(A_u_char from, A_u_char to, double f) {
    return static_cast<A_u_char>(std::lround(from + (to - from) * f));
}

bool takesNumber(PF_ParamType type) {
    switch (type) {
    case PF_Param_SLIDER:
    case PF_Param_FIX_SLIDER:
    case PF_Param_FLOAT_SLIDER:
    case PF_Param_ANGLE:
    case PF_Param_CHECKBOX:
    case PF_Param_POPUP:
        return true;
    default:
        return false;
    }
}

// The label text a definition points to, if its type has one.
const A_char** textOf(PF_ParamDef& def) {
    switch (def.param_type) {
    case PF_Param_POPUP:
        return &def.u.pd.u.namesptr;
    case PF_Param_CHECKBOX:
        return &def.u.bd.u.nameptr;
    case PF_Param_BUTTON:
        return &def.u.button_d.u.namesptr;
    default:
        return nullptr;
    }
}

} // namespace

bool interpolates(const PF_ParamDef& def) {
    return def.param_type != PF_Param_POPUP && def.param_type != PF_Param_CHECKBOX &&
           (def.flags & PF_ParamFlag_CANNOT_INTERP) == 0;
}

ParamStore::ParamStore() {
    reset();
}

void ParamStore::reset() {
    m_slots.clear();
    Slot input;
    input.def.param_type = PF_Param_LAYER;
    m_slots.push_back(std::move(input));
}

void ParamStore::clearKeyframes() {
    for (auto& slot : m_slots) {
        slot.keys.clear();
    }
}

PF_Err ParamStore::add(PF_ParamIndex index, const PF_ParamDef& def, std::string& problem) {
    if (index != -1 && index != count()) {
        problem = "index " + std::to_string(index) + " is neither -1 nor the next index " +
                  std::to_string(count());
        return PF_Err_INVALID_INDEX;
    }
    if (def.param_type < PF_Param_LAYER || def.param_type > PF_Param_POINT_3D) {
        problem = "unknown parameter type " + std::to_string(def.param_type);
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
    if (def.param_type == PF_Param_POPUP && def.u.pd.num_choices < 1) {
        problem = "a popup with " + std::to_string(def.u.pd.num_choices) + " choices";
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    Slot slot;
    slot.def = def;
    slot.def.name[sizeof slot.def.name - 1] = '\0';
    if (const A_char** text = textOf(slot.def); text != nullptr && *text != nullptr) {
        const std::size_t length = strnlen(*text, maxTextLength);
        if (length == maxTextLength) {
            problem = "the label text of '" + std::string(slot.def.name) + "' has no end";
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        slot.text = std::make_unique<char[]>(length + 1);
        std::memcpy(slot.text.get(), *text, length + 1);
        *text = slot.text.get();
    } else if (def.param_type == PF_Param_POPUP) {
        problem = "popup '" + std::string(slot.def.name) + "' has no items";
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    m_slots.push_back(std::move(slot));
    return PF_Err_NONE;
}

ParamStore::Slot& ParamStore::_slot(int index) {
    if (index < 0 || index >= count()) {
        throw HostError("no parameter " + std::to_string(index) + " (there are " +
                        std::to_string(count()) + ")");
    }
    return m_slots[static_cast<std::size_t>(index)];
}

const ParamStore::Slot& ParamStore::_slot(int index) const {
    return const_cast<ParamStore*>(this)->_slot(index);
}

const PF_ParamDef& ParamStore::definition(int index) const {
    return _slot(index).def;
}

void ParamStore::setUIFlags(int index, PF_ParamUIFlags flags) {
    _slot(index).def.ui_flags = flags;
}

void ParamStore::_setKey(int index, Keyframe key, std::optional<Interpolation> interpolation) {
    Slot& slot = _slot(index);
    if (!std::isfinite(key.seconds)) {
        throw HostError("a keyframe of parameter " + std::to_string(index) + " ('" + slot.def.name +
                        "') at no finite time");
    }
    if (!interpolates(slot.def)) {
        if (interpolation.value_or(Interpolation::Hold) != Interpolation::Hold) {
            throw HostError("parameter " + std::to_string(index) + " ('" + slot.def.name +
                            "') only holds its keyframes");
        }
        interpolation = Interpolation::Hold;
    }
    key.interpolation = interpolation.value_or(Interpolation::Linear);
    auto& keys = slot.keys;
    auto it = std::lower_bound(keys.begin(), keys.end(), key.seconds,
                               [](const Keyframe& k, double t) { return k.seconds < t; });
    if (it != keys.end() && it->seconds == key.seconds) {
        *it = key;
    } else {
        keys.insert(it, key);
    }
}

void ParamStore::setValue(int index, double value, double seconds,
                          std::optional<Interpolation> interpolation) {
    const auto& def = _slot(index).def;
    if (!takesNumber(def.param_type)) {
        throw HostError("parameter " + std::to_string(index) + " ('" + def.name +
                        "') does not take a number");
    }
    if (def.param_type == PF_Param_POPUP &&
        (value != std::floor(value) || value < 1 || value > def.u.pd.num_choices)) {
        throw HostError("popup '" + std::string(def.name) + "' has no item " +
                        std::to_string(value));
    }
    requireFinite(def, index, {value});
    _setKey(index, Keyframe{seconds, value, 0.0, {}}, interpolation);
}

void ParamStore::setPoint(int index, double x, double y, double seconds,
                          std::optional<Interpolation> interpolation) {
    const auto& def = _slot(index).def;
    if (def.param_type != PF_Param_POINT) {
        throw HostError("parameter " + std::to_string(index) + " ('" + def.name +
                        "') is not a point");
    }
    requireFinite(def, index, {x, y});
    _setKey(index, Keyframe{seconds, x, y, {}}, interpolation);
}

void ParamStore::setColor(int index, const PF_Pixel& color, double seconds,
                          std::optional<Interpolation> interpolation) {
    const auto& def = _slot(index).def;
    if (def.param_type != PF_Param_COLOR) {
        throw HostError("parameter " + std::to_string(index) + " ('" + def.name +
                        "') is not a colour");
    }
    _setKey(index, Keyframe{seconds, 0.0, 0.0, color}, interpolation);
}

ParamStore::Keyframe ParamStore::_definedValue(const Slot& slot, const CheckoutScale& scale) const {
    const auto& u = slot.def.u;
    Keyframe k;
    switch (slot.def.param_type) {
    case PF_Param_SLIDER:
        k.a = u.sd.value;
        break;
    case PF_Param_FIX_SLIDER:
        k.a = fromFixed(u.fd.value);
        break;
    case PF_Param_FLOAT_SLIDER:
        k.a = u.fs_d.value;
        break;
    case PF_Param_ANGLE:
        k.a = fromFixed(u.ad.value);
        break;
    case PF_Param_CHECKBOX:
        k.a = u.bd.value;
        break;
    case PF_Param_POPUP:
        k.a = u.pd.value;
        break;
    case PF_Param_POINT:
        // Defined as a percentage of the layer; the layer's pixels from then on.
        k.a = fromFixed(u.td.x_value) / 100.0 * scale.layerWidth;
        k.b = fromFixed(u.td.y_value) / 100.0 * scale.layerHeight;
        break;
    case PF_Param_COLOR:
        k.color = u.cd.value;
        break;
    default:
        break;
    }
    return k;
}

ParamStore::Keyframe ParamStore::_valueAt(const Slot& slot, double seconds,
                                          const CheckoutScale& scale) const {
    const auto& keys = slot.keys;
    if (keys.empty()) {
        return _definedValue(slot, scale);
    }
    auto after = std::upper_bound(keys.begin(), keys.end(), seconds,
                                  [](double t, const Keyframe& k) { return t < k.seconds; });
    if (after == keys.begin()) {
        return keys.front();
    }
    const Keyframe& before = *(after - 1);
    if (after == keys.end() || before.interpolation == Interpolation::Hold) {
        return before;
    }
    const double f = progress(before.interpolation,
                              (seconds - before.seconds) / (after->seconds - before.seconds));
    Keyframe k = before;
    k.a = before.a + (after->a - before.a) * f;
    k.b = before.b + (after->b - before.b) * f;
    k.color = {mixChannel(before.color.alpha, after->color.alpha, f),
               mixChannel(before.color.red, after->color.red, f),
               mixChannel(before.color.green, after->color.green, f),
               mixChannel(before.color.blue, after->color.blue, f)};
    return k;
}

PF_ParamDef ParamStore::valueAt(int index, double seconds, const CheckoutScale& scale) const {
    const Slot& slot = _slot(index);
    const Keyframe k = _valueAt(slot, seconds, scale);
    PF_ParamDef def = slot.def;
    auto& u = def.u;
    switch (def.param_type) {
    case PF_Param_SLIDER:
        u.sd.value = toLong(k.a);
        break;
    case PF_Param_FIX_SLIDER:
        u.fd.value = toFixed(k.a);
        break;
    case PF_Param_FLOAT_SLIDER:
        u.fs_d.value = k.a;
        break;
    case PF_Param_ANGLE:
        u.ad.value = toFixed(k.a);
        break;
    case PF_Param_CHECKBOX:
        u.bd.value = toLong(k.a);
        break;
    case PF_Param_POPUP:
        u.pd.value = toLong(k.a);
        break;
    case PF_Param_POINT:
        u.td.x_value = toFixed(k.a * scale.downsampleX);
        u.td.y_value = toFixed(k.b * scale.downsampleY);
        break;
    case PF_Param_COLOR:
        u.cd.value = k.color;
        break;
    default:
        break;
    }
    return def;
}

} // namespace OfflineHost
