// Parameter storage: definitions as added, values over time, checkout at a time and downsample,
// and the interface flags a module sets.

#include "HostTestSupport.h"

#include <cmath>

using namespace OfflineHost;

namespace {

Frame frameAt(A_long time, A_long num = 1, A_u_long den = 1) {
    Frame f;
    f.time = time;
    f.timeScale = 10;
    f.layerWidth = 640;
    f.layerHeight = 480;
    f.downsampleX = {num, den};
    f.downsampleY = {num, den};
    return f;
}

PF_Fixed fixed(double v) {
    return static_cast<PF_Fixed>(std::lround(v * 65536.0));
}

} // namespace

TEST(Params, KeepsDefinitionsWithHostOwnedStrings) {
    auto probe = HostTest::setUpProbe();
    ASSERT_EQ(probe->paramCount(), Probe::Count);
    EXPECT_EQ(probe->paramDef(Probe::Input).param_type, PF_Param_LAYER);
    EXPECT_STREQ(probe->paramDef(Probe::Centre).name, "Centre");
    EXPECT_EQ(probe->findParam("Mode"), Probe::Mode);
    EXPECT_EQ(probe->findParam("Nothing"), -1);
    // The probe overwrote its own buffer after adding the popup.
    EXPECT_STREQ(probe->paramDef(Probe::Mode).u.pd.u.namesptr, "One|Two|Three");
    EXPECT_EQ(probe->outData().num_params, Probe::Count);
    // A second set-up starts the list afresh.
    EXPECT_EQ(probe->paramsSetup(), PF_Err_NONE);
    EXPECT_EQ(probe->paramCount(), Probe::Count);
}

TEST(Params, DeliverDefaultsInHostUnits) {
    auto probe = HostTest::setUpProbe();
    const PF_ParamDef centre = probe->valueAt(Probe::Centre, frameAt(0));
    // 25 % and 75 % of the 640 x 480 layer.
    EXPECT_EQ(centre.u.td.x_value, fixed(160));
    EXPECT_EQ(centre.u.td.y_value, fixed(360));
    const PF_ParamDef half = probe->valueAt(Probe::Centre, frameAt(0, 1, 2));
    EXPECT_EQ(half.u.td.x_value, fixed(80));
    EXPECT_EQ(half.u.td.y_value, fixed(180));
    EXPECT_EQ(probe->valueAt(Probe::Angle, frameAt(0)).u.ad.value, fixed(30));
    EXPECT_EQ(probe->valueAt(Probe::Opacity, frameAt(0)).u.fd.value, fixed(50));
    EXPECT_EQ(probe->valueAt(Probe::Mode, frameAt(0)).u.pd.value, 2);
    EXPECT_EQ(probe->valueAt(Probe::Amount, frameAt(0)).u.fs_d.value, 5.0);
}

TEST(Params, InterpolateNumbersAndHoldTheRest) {
    auto probe = HostTest::setUpProbe();
    probe->setPoint(Probe::Centre, 100, 40, 0.0);
    probe->setPoint(Probe::Centre, 200, 80, 2.0);
    probe->setValue(Probe::Amount, 10, 0.0);
    probe->setValue(Probe::Amount, 20, 2.0);
    probe->setValue(Probe::Mode, 1, 0.0);
    probe->setValue(Probe::Mode, 3, 2.0);
    probe->setColor(Probe::Colour, PF_Pixel{255, 0, 0, 0}, 0.0);
    probe->setColor(Probe::Colour, PF_Pixel{255, 200, 200, 200}, 2.0);

    // Half-way (time 10 of scale 10 = 1 s), at a third of the size.
    const Frame mid = frameAt(10, 1, 3);
    const PF_ParamDef centre = probe->valueAt(Probe::Centre, mid);
    EXPECT_EQ(centre.u.td.x_value, fixed(150.0 / 3));
    EXPECT_EQ(centre.u.td.y_value, fixed(60.0 / 3));
    EXPECT_DOUBLE_EQ(probe->valueAt(Probe::Amount, mid).u.fs_d.value, 15.0);
    EXPECT_EQ(probe->valueAt(Probe::Mode, mid).u.pd.value, 1);
    EXPECT_EQ(probe->valueAt(Probe::Colour, mid).u.cd.value.red, 0);
    // Before the first and after the last keyframe the value holds.
    EXPECT_DOUBLE_EQ(probe->valueAt(Probe::Amount, frameAt(-5)).u.fs_d.value, 10.0);
    EXPECT_DOUBLE_EQ(probe->valueAt(Probe::Amount, frameAt(50)).u.fs_d.value, 20.0);
    EXPECT_EQ(probe->valueAt(Probe::Mode, frameAt(20)).u.pd.value, 3);

    EXPECT_THROW(probe->setValue(Probe::Mode, 4), HostError);
    EXPECT_THROW(probe->setValue(Probe::Mode, 1.5), HostError);
    EXPECT_THROW(probe->setValue(Probe::Colour, 1), HostError);
    EXPECT_THROW(probe->setPoint(Probe::Amount, 1, 2), HostError);
    EXPECT_THROW(probe->setValue(Probe::Count, 1), HostError);
}

TEST(Params, CheckoutDeliversTheValueAtTheRequestedTime) {
    auto probe = HostTest::setUpProbe();
    probe->setPoint(Probe::Centre, 0, 0, 0.0);
    probe->setPoint(Probe::Centre, 400, 200, 4.0);
    Frame f = frameAt(0, 1, 2);
    probe->setFrame(f);

    Probe::Request request;
    request.action = Probe::Action::CheckoutParam;
    request.index = Probe::Centre;
    request.time = 3; // 3 / 1 s: three quarters of the way
    request.timeScale = 1;
    const auto answer = HostTest::perform(*probe, request);
    EXPECT_EQ(answer.result, PF_Err_NONE);
    EXPECT_EQ(answer.param.param_type, PF_Param_POINT);
    EXPECT_EQ(answer.param.u.td.x_value, fixed(300.0 / 2));
    EXPECT_EQ(answer.param.u.td.y_value, fixed(150.0 / 2));
    EXPECT_TRUE(probe->diagnostics().lastAccount().paramsNotCheckedIn.empty());

    request.release = false;
    HostTest::perform(*probe, request);
    EXPECT_EQ(probe->diagnostics().lastAccount().paramsNotCheckedIn,
              std::vector<int>{Probe::Centre});
    // The host takes the checkout back when the command ends.
    Probe::Request other;
    other.action = Probe::Action::Format;
    other.text = "x";
    HostTest::perform(*probe, other);
    EXPECT_TRUE(probe->diagnostics().lastAccount().paramsNotCheckedIn.empty());

    request.index = Probe::Count;
    request.release = true;
    EXPECT_EQ(HostTest::perform(*probe, request).result, PF_Err_INVALID_INDEX);
    request.index = Probe::Amount;
    request.timeScale = 0;
    EXPECT_EQ(HostTest::perform(*probe, request).result, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(probe->diagnostics().misuses().size(), 2u);
}

TEST(Params, UpdateParamsUIKeepsTheFlagsTheModuleSets) {
    auto probe = HostTest::setUpProbe();
    EXPECT_EQ(probe->paramDef(Probe::Depends).ui_flags & PF_PUI_DISABLED, 0);
    probe->setValue(Probe::Mode, 3);
    EXPECT_EQ(probe->updateParamsUI(), PF_Err_NONE);
    EXPECT_NE(probe->paramDef(Probe::Depends).ui_flags & PF_PUI_DISABLED, 0);
    EXPECT_NE(probe->outData().out_flags & PF_OutFlag_REFRESH_UI, 0);
    probe->setValue(Probe::Mode, 1);
    EXPECT_EQ(probe->updateParamsUI(), PF_Err_NONE);
    EXPECT_EQ(probe->paramDef(Probe::Depends).ui_flags & PF_PUI_DISABLED, 0);
}
