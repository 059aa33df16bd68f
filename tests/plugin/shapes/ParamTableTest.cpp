// Each effect's parameters as the host stores them after parameter set-up, against the
// documented tables.

#include "DocumentedParams.h"
#include "tests/support/CallLog.h"
#include "tests/support/ShapesModule.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using TestSupport::appliedEffect;
using TestSupport::strictEffect;

PF_Fixed fixed(double v) {
    return static_cast<PF_Fixed>(v * 65536.0);
}

struct ValueCheck {
    const PF_ParamDef& def;
    PF_ParamType type;

    void operator()(const Documented::Slider& s) const {
        if (type == PF_Param_FLOAT_SLIDER) {
            const PF_FloatSliderDef& fs = def.u.fs_d;
            EXPECT_EQ(fs.value, s.dflt);
            EXPECT_EQ(fs.dephault, static_cast<float>(s.dflt));
            EXPECT_EQ(fs.valid_min, static_cast<float>(s.validMin));
            EXPECT_EQ(fs.valid_max, static_cast<float>(s.validMax));
            EXPECT_EQ(fs.slider_min, static_cast<float>(s.sliderMin));
            EXPECT_EQ(fs.slider_max, static_cast<float>(s.sliderMax));
            EXPECT_EQ(fs.precision, s.precision);
            EXPECT_EQ(fs.display_flags, s.display);
            EXPECT_EQ(fs.curve_tolerance, 0.05f);
            EXPECT_EQ(fs.fs_flags, 0u);
            EXPECT_EQ(fs.phase, 0.0);
            EXPECT_EQ(fs.useExponent, 0);
        } else {
            ASSERT_EQ(type, PF_Param_FIX_SLIDER);
            const PF_FixedSliderDef& fd = def.u.fd;
            EXPECT_EQ(fd.value, fixed(s.dflt));
            EXPECT_EQ(fd.dephault, fixed(s.dflt));
            EXPECT_EQ(fd.valid_min, fixed(s.validMin));
            EXPECT_EQ(fd.valid_max, fixed(s.validMax));
            EXPECT_EQ(fd.slider_min, fixed(s.sliderMin));
            EXPECT_EQ(fd.slider_max, fixed(s.sliderMax));
            EXPECT_EQ(fd.precision, s.precision);
            EXPECT_EQ(fd.display_flags, s.display);
            EXPECT_STREQ(fd.value_str, "");
            EXPECT_STREQ(fd.value_desc, "");
        }
    }
    void operator()(const Documented::Point& p) const {
        EXPECT_EQ(def.u.td.x_value, fixed(p.xPercent));
        EXPECT_EQ(def.u.td.y_value, fixed(p.yPercent));
        EXPECT_EQ(def.u.td.x_dephault, fixed(p.xPercent));
        EXPECT_EQ(def.u.td.y_dephault, fixed(p.yPercent));
        EXPECT_EQ(def.u.td.restrict_bounds, 0);
    }
    void operator()(const Documented::Angle& a) const {
        EXPECT_EQ(def.u.ad.value, fixed(a.degrees));
        EXPECT_EQ(def.u.ad.dephault, fixed(a.degrees));
    }
    void operator()(const Documented::Color& c) const {
        EXPECT_EQ(std::memcmp(&def.u.cd.value, &c.value, sizeof(PF_Pixel)), 0);
        EXPECT_EQ(std::memcmp(&def.u.cd.dephault, &c.value, sizeof(PF_Pixel)), 0);
    }
    void operator()(const Documented::Popup& p) const {
        EXPECT_EQ(def.u.pd.value, p.dflt);
        EXPECT_EQ(def.u.pd.dephault, p.dflt);
        EXPECT_EQ(def.u.pd.num_choices, p.count);
        ASSERT_NE(def.u.pd.u.namesptr, nullptr);
        EXPECT_EQ(std::string(def.u.pd.u.namesptr), p.items);
    }
    void operator()(const Documented::Group&) const {
        const PF_ParamDefUnion zero{};
        EXPECT_EQ(std::memcmp(&def.u, &zero, sizeof zero), 0) << "a group carries no value";
    }
};

TEST(ParamTables, HostStoresEachEffectsDocumentedParameters) {
    for (const Documented::Effect& effect : Documented::effects()) {
        SCOPED_TRACE(effect.name);
        const auto instance = appliedEffect(effect.name);
        EXPECT_EQ(instance->outData().num_params, effect.paramCount);
        ASSERT_EQ(instance->paramCount(), effect.paramCount);
        ASSERT_EQ(effect.params.size() + 1, static_cast<std::size_t>(effect.paramCount));
        for (const Documented::Param& p : effect.params) {
            SCOPED_TRACE(testing::Message() << "index " << p.index << " \"" << p.name << "\"");
            const PF_ParamDef& def = instance->paramDef(p.index);
            EXPECT_EQ(def.param_type, p.type);
            EXPECT_STREQ(def.name, p.name.c_str());
            EXPECT_EQ(def.uu.id, p.index);
            EXPECT_EQ(def.flags, p.flags);
            EXPECT_EQ(def.ui_flags, 0);
            std::visit(ValueCheck{def, p.type}, p.value);
        }
    }
}

TEST(ParamTables, FailingAddParamStopsTheSetupWithItsCode) {
    const auto instance = strictEffect("OndrelCircle");
    ASSERT_EQ(instance->globalSetup(), PF_Err_NONE);
    instance->diagnostics().failCall("add_param", 7, 3);
    EXPECT_EQ(instance->paramsSetup(), 7);
    EXPECT_EQ(TestSupport::callCount(*instance, "add_param"), 3);
    EXPECT_EQ(instance->outData().num_params, 0) << "the count is written only on success";
}

} // namespace
