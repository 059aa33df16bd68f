// Parameter storage: definitions as added, values over time, checkout at a time and downsample,
// and the interface flags a module sets.

#include "tests/host/HostTestSupport.h"

#include <cmath>
#include <limits>

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
    EXPECT_EQ(probe->findParam("mODE"), Probe::Mode); // names are matched ignoring case too
    EXPECT_EQ(probe->findParam("Mod"), -1);
    EXPECT_EQ(probe->findParam("Nothing"), -1);
    // The probe overwrote its own buffer after adding the popup.
    EXPECT_STREQ(probe->paramDef(Probe::Mode).u.pd.u.namesptr, "One|Two|Three");
    EXPECT_EQ(probe->outData().num_params, Probe::Count);
    // A second set-up starts the list afresh.
    EXPECT_EQ(probe->paramsSetup(), PF_Err_NONE);
    EXPECT_EQ(probe->paramCount(), Probe::Count);
}

// Without keyframes, or once they are reset, every parameter has its definition's value.
TEST(Params, DeliverDefaultsInHostUnits) {
    auto probe = HostTest::setUpProbe();
    probe->setPoint(Probe::Centre, 1, 2, 0.0);
    probe->setPoint(Probe::Centre, 3, 4, 1.0);
    probe->setValue(Probe::Angle, 90);
    probe->setValue(Probe::Opacity, 10);
    probe->setValue(Probe::Mode, 3);
    probe->setValue(Probe::Amount, 7);
    probe->resetValues();
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

// What the probe module receives from checkout_param at time/8 s, on the 640 x 480 layer at a
// downsample of 1/downsample.
PF_ParamDef delivered(EffectInstance& probe, int index, A_long eighths, A_u_long downsample = 1) {
    probe.setFrame(frameAt(0, 1, downsample));
    Probe::Request request;
    request.action = Probe::Action::CheckoutParam;
    request.index = index;
    request.time = eighths;
    request.timeScale = 8;
    const auto answer = HostTest::perform(probe, request);
    EXPECT_EQ(answer.result, PF_Err_NONE);
    return answer.param;
}

// Keyframes at 0 s and 2 s; the values between them as the module receives them, worked by hand.
TEST(Params, LinearKeyframesDeliverEveryKindInHostUnits) {
    auto probe = HostTest::setUpProbe();
    probe->setValue(Probe::Amount, 10, 0.0);
    probe->setValue(Probe::Amount, 20, 2.0);
    probe->setValue(Probe::Opacity, 0, 0.0);
    probe->setValue(Probe::Opacity, -0.3, 2.0);
    probe->setValue(Probe::Angle, -90, 0.0);
    probe->setValue(Probe::Angle, 270, 2.0);
    probe->setPoint(Probe::Centre, 0, 0, 0.0);
    probe->setPoint(Probe::Centre, 400, 200, 2.0);
    probe->setColor(Probe::Colour, PF_Pixel{255, 0, 0, 0}, 0.0);
    probe->setColor(Probe::Colour, PF_Pixel{255, 255, 100, 51}, 2.0);

    // A quarter of the way, 0.5 s.
    EXPECT_EQ(delivered(*probe, Probe::Amount, 4).u.fs_d.value, 12.5);
    EXPECT_EQ(delivered(*probe, Probe::Angle, 4).u.ad.value, 0);
    // Half-way: -0.15 % is -9830.4 in 16.16, delivered as the nearest, -9830.
    EXPECT_EQ(delivered(*probe, Probe::Opacity, 8).u.fd.value, -9830);
    // Three quarters: 180 degrees.
    EXPECT_EQ(delivered(*probe, Probe::Angle, 12).u.ad.value, 180 << 16);
    // (100, 50) layer pixels, delivered at half size: (50, 25).
    const PF_ParamDef centre = delivered(*probe, Probe::Centre, 4, 2);
    EXPECT_EQ(centre.u.td.x_value, 50 << 16);
    EXPECT_EQ(centre.u.td.y_value, 25 << 16);
    // Each channel on its own, rounded to the nearest 8-bit value: 63.75, 25, 12.75.
    const PF_Pixel colour = delivered(*probe, Probe::Colour, 4).u.cd.value;
    EXPECT_EQ(colour.alpha, 255);
    EXPECT_EQ(colour.red, 64);
    EXPECT_EQ(colour.green, 25);
    EXPECT_EQ(colour.blue, 13);
    // At a keyframe, its own value.
    EXPECT_EQ(delivered(*probe, Probe::Amount, 16).u.fs_d.value, 20.0);
    EXPECT_EQ(delivered(*probe, Probe::Colour, 16).u.cd.value.blue, 51);
    // Before the first and after the last keyframe the value holds.
    EXPECT_EQ(delivered(*probe, Probe::Amount, -40).u.fs_d.value, 10.0);
    EXPECT_EQ(delivered(*probe, Probe::Angle, 400).u.ad.value, 270 << 16);
}

// Ease: 3f^2 - 2f^3 of the linear fraction f, so 0.15625 of the way at f = 1/4, half at 1/2 and
// 0.84375 at 3/4.
TEST(Params, EaseKeyframesFollowTheEasyEaseCurve) {
    auto probe = HostTest::setUpProbe();
    probe->setValue(Probe::Amount, 10, 0.0, Interpolation::Ease);
    probe->setValue(Probe::Amount, 20, 2.0);
    probe->setPoint(Probe::Centre, 0, 0, 0.0, Interpolation::Ease);
    probe->setPoint(Probe::Centre, 400, 200, 2.0);
    probe->setColor(Probe::Colour, PF_Pixel{255, 0, 0, 0}, 0.0, Interpolation::Ease);
    probe->setColor(Probe::Colour, PF_Pixel{255, 255, 100, 51}, 2.0);

    EXPECT_EQ(delivered(*probe, Probe::Amount, 4).u.fs_d.value, 11.5625);
    EXPECT_EQ(delivered(*probe, Probe::Amount, 8).u.fs_d.value, 15.0);
    EXPECT_EQ(delivered(*probe, Probe::Amount, 12).u.fs_d.value, 18.4375);
    // (62.5, 31.25) layer pixels at half size: (31.25, 15.625), exact in 16.16.
    const PF_ParamDef centre = delivered(*probe, Probe::Centre, 4, 2);
    EXPECT_EQ(centre.u.td.x_value, 2048000);
    EXPECT_EQ(centre.u.td.y_value, 1024000);
    // Half-way: 127.5, 50, 25.5, halves rounded up.
    const PF_Pixel colour = delivered(*probe, Probe::Colour, 8).u.cd.value;
    EXPECT_EQ(colour.red, 128);
    EXPECT_EQ(colour.green, 50);
    EXPECT_EQ(colour.blue, 26);
}

TEST(Params, HoldKeepsAKeyframesValueAndPopupsOnlyHold) {
    auto probe = HostTest::setUpProbe();
    // Each keyframe's interpolation shapes the way to the next one.
    probe->setValue(Probe::Amount, 0, 0.0, Interpolation::Hold);
    probe->setValue(Probe::Amount, 10, 1.0, Interpolation::Ease);
    probe->setValue(Probe::Amount, 20, 2.0, Interpolation::Linear);
    EXPECT_EQ(delivered(*probe, Probe::Amount, 7).u.fs_d.value, 0.0);
    EXPECT_EQ(delivered(*probe, Probe::Amount, 8).u.fs_d.value, 10.0);
    EXPECT_EQ(delivered(*probe, Probe::Amount, 10).u.fs_d.value, 11.5625);
    EXPECT_EQ(delivered(*probe, Probe::Amount, 24).u.fs_d.value, 20.0);
    // A later keyframe at the same time replaces the earlier one, interpolation included.
    probe->setValue(Probe::Amount, 4, 0.0);
    EXPECT_EQ(delivered(*probe, Probe::Amount, 4).u.fs_d.value, 7.0);

    probe->setValue(Probe::Mode, 1, 0.0);
    probe->setValue(Probe::Mode, 3, 2.0, Interpolation::Hold);
    EXPECT_EQ(delivered(*probe, Probe::Mode, 15).u.pd.value, 1);
    EXPECT_EQ(delivered(*probe, Probe::Mode, 16).u.pd.value, 3);
    EXPECT_FALSE(interpolates(probe->paramDef(Probe::Mode)));
    EXPECT_TRUE(interpolates(probe->paramDef(Probe::Colour)));
    EXPECT_THROW(probe->setValue(Probe::Mode, 2, 1.0, Interpolation::Linear), HostError);
    EXPECT_THROW(probe->setValue(Probe::Mode, 2, 1.0, Interpolation::Ease), HostError);
    EXPECT_EQ(delivered(*probe, Probe::Mode, 8).u.pd.value, 1);

    EXPECT_THROW(probe->setValue(Probe::Mode, 4), HostError);
    EXPECT_THROW(probe->setValue(Probe::Mode, 1.5), HostError);
    EXPECT_THROW(probe->setValue(Probe::Colour, 1), HostError);
    EXPECT_THROW(probe->setPoint(Probe::Amount, 1, 2), HostError);
    EXPECT_THROW(probe->setValue(Probe::Count, 1), HostError);
    EXPECT_THROW(probe->setValue(Probe::Amount, 1, std::nan("")), HostError);

    // 16.16 and integers hold no NaN or infinity; a float slider does, and delivers it.
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_THROW(probe->setValue(Probe::Opacity, std::nan("")), HostError);
    EXPECT_THROW(probe->setValue(Probe::Angle, -inf), HostError);
    EXPECT_THROW(probe->setPoint(Probe::Centre, 3, inf), HostError);
    probe->setValue(Probe::Amount, inf, 9.0);
    EXPECT_EQ(delivered(*probe, Probe::Amount, 9 * 8).u.fs_d.value, inf);
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
