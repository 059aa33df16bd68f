#include "Shapes/OndrelParamValues.h"

#include "Ondrel/OndrelBlend.h"

namespace Ondrel {

namespace {

constexpr double fixedOne = 65536.0;
constexpr double radiansPerDegree = 0.017453292519943295;

double ratio(const PF_RationalScale& scale) {
    return static_cast<double>(scale.num) / static_cast<double>(scale.den);
}

double fromFixed(PF_Fixed value) {
    return static_cast<double>(value) / fixedOne;
}

} // namespace

ParamValues::ParamValues(const PF_InData& inData)
    : m_dsx(ratio(inData.downsample_x)), m_dsy(ratio(inData.downsample_y)),
      m_layerWidth(static_cast<double>(inData.width)),
      m_layerHeight(static_cast<double>(inData.height)) {}

PF_Err ParamValues::checkOut(PF_InData* inData, std::span<const int> indices) {
    for (const int index : indices) {
        if (index < 0 || index >= maxParamCount) {
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        }
        PF_ParamDef def{};
        PF_Err err = inData->inter.checkout_param(inData->effect_ref, index, inData->current_time,
                                                  inData->time_step, inData->time_scale, &def);
        if (err != PF_Err_NONE) {
            return err;
        }
        const auto slot = static_cast<std::size_t>(index);
        m_values[slot] = def;
        m_present[slot] = true;
        err = inData->inter.checkin_param(inData->effect_ref, &def);
        if (err != PF_Err_NONE) {
            return err;
        }
    }
    return PF_Err_NONE;
}

const PF_ParamDef& ParamValues::_value(int index, PF_ParamType type) const {
    if (index < 0 || index >= maxParamCount || !m_present[static_cast<std::size_t>(index)]) {
        throw PF_Err(PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
    const PF_ParamDef& def = m_values[static_cast<std::size_t>(index)];
    if (def.param_type != type) {
        throw PF_Err(PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
    return def;
}

double ParamValues::length(int index) const {
    return _value(index, PF_Param_FLOAT_SLIDER).u.fs_d.value * m_dsx;
}

double ParamValues::height(int index) const {
    return _value(index, PF_Param_FLOAT_SLIDER).u.fs_d.value * m_dsy;
}

double ParamValues::percent(int index) const {
    return _value(index, PF_Param_FLOAT_SLIDER).u.fs_d.value * 0.01;
}

double ParamValues::fixedPercent(int index) const {
    return fromFixed(_value(index, PF_Param_FIX_SLIDER).u.fd.value) * 0.01;
}

Vector<double> ParamValues::point(int index) const {
    const PF_PointDef& p = _value(index, PF_Param_POINT).u.td;
    return {fromFixed(p.x_value), fromFixed(p.y_value)};
}

Vector<double> ParamValues::offsetFromCenter(int index) const {
    Vector<double> offset = point(index);
    offset -= Vector<double>(m_layerWidth * 0.5 * m_dsx, m_layerHeight * 0.5 * m_dsy);
    return offset;
}

double ParamValues::radians(int index) const {
    return fromFixed(_value(index, PF_Param_ANGLE).u.ad.value) * radiansPerDegree;
}

ColorFloat<float> ParamValues::color(int index) const {
    return ColorFloat<float>(_value(index, PF_Param_COLOR).u.cd.value);
}

int ParamValues::popup(int index) const {
    return static_cast<int>(_value(index, PF_Param_POPUP).u.pd.value);
}

int ParamValues::blendMode(int index) const {
    return blendModeOfPopupItem(popup(index));
}

} // namespace Ondrel
