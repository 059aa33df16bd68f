// Graying of dependent controls at the parameter-UI update, for every effect and every popup
// value, against the documented rules.

#include "DocumentedParams.h"
#include "tests/support/CallLog.h"
#include "tests/support/ShapesModule.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using TestSupport::appliedEffect;
using TestSupport::shapesModule;

constexpr A_long refreshUI = 0x20000;
constexpr A_long disabled = 0x20;

// The indices the module handed to PF_UpdateParamUI, in call order.
std::vector<int> updatedIndices(const OfflineHost::EffectInstance& instance) {
    return TestSupport::paramIndices(instance, "PF_UpdateParamUI");
}

bool isGrayed(const OfflineHost::EffectInstance& instance, int index) {
    return (instance.paramDef(index).ui_flags & disabled) != 0;
}

bool contains(const std::vector<int>& v, int x) {
    return std::find(v.begin(), v.end(), x) != v.end();
}

// Every value of every rule in turn, so each control is seen going from grayed to enabled and
// back; the other rules' popups stay at their defaults.
TEST(Graying, EveryPopupValueGraysAndEnablesItsDependentsInOrder) {
    for (const Documented::Effect& effect : Documented::effects()) {
        SCOPED_TRACE(effect.name);
        const auto instance = appliedEffect(effect.name);
        for (const Documented::GrayRule& rule : effect.graying) {
            const int choices = static_cast<int>(rule.grayedByValue.size());
            for (int value : {1, 2, 3, 1, 3, 2}) {
                if (value > choices) {
                    continue;
                }
                SCOPED_TRACE(testing::Message() << "popup " << rule.popup << " = " << value);
                instance->setValue(rule.popup, value);
                instance->diagnostics().clearCalls();
                ASSERT_EQ(instance->updateParamsUI(), PF_Err_NONE);
                EXPECT_NE(instance->outData().out_flags & refreshUI, 0);

                std::vector<int> expectedCalls;
                for (const Documented::GrayRule& r : effect.graying) {
                    expectedCalls.insert(expectedCalls.end(), r.dependents.begin(),
                                         r.dependents.end());
                }
                EXPECT_EQ(updatedIndices(*instance), expectedCalls);
                for (int dependent : rule.dependents) {
                    EXPECT_EQ(isGrayed(*instance, dependent),
                              contains(rule.grayedByValue[static_cast<std::size_t>(value - 1)],
                                       dependent))
                        << "index " << dependent;
                }
            }
        }
    }
}

// The host refuses to store a popup value outside the popup, so these values are put into the
// parameter array of an open command and the module's entry function is called with it.
PF_Err updateWithPopupValues(OfflineHost::EffectInstance& instance, std::string_view effect,
                             const std::vector<std::pair<int, A_long>>& values, A_long& outFlags) {
    auto context = instance.context();
    for (const auto& [index, value] : values) {
        context.params()[index]->u.pd.value = value;
    }
    const PF_Err err = shapesModule()->effect(effect).entry(
        PF_Cmd_UPDATE_PARAMS_UI, context.in(), context.out(), context.params(), nullptr, nullptr);
    outFlags = context.out()->out_flags;
    return err;
}

TEST(Graying, ValueOutsideThePopupChangesNothingButStillRefreshes) {
    for (const Documented::Effect& effect : Documented::effects()) {
        SCOPED_TRACE(effect.name);
        const auto instance = appliedEffect(effect.name);
        ASSERT_EQ(instance->updateParamsUI(), PF_Err_NONE); // defaults gray some controls
        std::vector<A_long> before;
        for (int i = 0; i < instance->paramCount(); ++i) {
            before.push_back(instance->paramDef(i).ui_flags);
        }
        for (A_long outside : {0, 4, -1, 1000}) {
            SCOPED_TRACE(outside);
            std::vector<std::pair<int, A_long>> values;
            for (const Documented::GrayRule& rule : effect.graying) {
                values.emplace_back(rule.popup, outside);
            }
            instance->diagnostics().clearCalls();
            A_long outFlags = 0;
            ASSERT_EQ(updateWithPopupValues(*instance, effect.name, values, outFlags), PF_Err_NONE);
            EXPECT_TRUE(updatedIndices(*instance).empty());
            EXPECT_NE(outFlags & refreshUI, 0);
            for (int i = 0; i < instance->paramCount(); ++i) {
                EXPECT_EQ(instance->paramDef(i).ui_flags, before[static_cast<std::size_t>(i)]);
            }
        }
    }
}

// Only the rectangle's popup that is out of range is skipped; the other still decides.
TEST(Graying, RectangleSkipsOnlyThePopupOutsideItsValues) {
    const auto instance = appliedEffect("OndrelRectangle");
    A_long outFlags = 0;
    ASSERT_EQ(updateWithPopupValues(*instance, "OndrelRectangle", {{1, 3}, {13, 2}}, outFlags),
              PF_Err_NONE);
    EXPECT_EQ(updatedIndices(*instance), (std::vector<int>{14, 15, 16}));
    EXPECT_TRUE(isGrayed(*instance, 15));
    EXPECT_FALSE(isGrayed(*instance, 14));
}

TEST(Graying, FailingUpdateStopsTheSequenceReturnsItsCodeAndStillRefreshes) {
    for (const Documented::Effect& effect : Documented::effects()) {
        SCOPED_TRACE(effect.name);
        std::vector<int> all;
        for (const Documented::GrayRule& r : effect.graying) {
            all.insert(all.end(), r.dependents.begin(), r.dependents.end());
        }
        for (std::size_t failing = 1; failing <= all.size(); ++failing) {
            SCOPED_TRACE(testing::Message() << "call " << failing << " fails");
            const auto instance = appliedEffect(effect.name);
            instance->diagnostics().failCall("PF_UpdateParamUI", 33, static_cast<int>(failing));
            EXPECT_EQ(instance->updateParamsUI(), 33);
            EXPECT_EQ(updatedIndices(*instance),
                      std::vector<int>(all.begin(), all.begin() + static_cast<long>(failing)));
            EXPECT_NE(instance->outData().out_flags & refreshUI, 0);
        }
    }
}

TEST(Graying, MissingParamUtilsSuiteGives516) {
    for (const Documented::Effect& effect : Documented::effects()) {
        SCOPED_TRACE(effect.name);
        const auto instance = appliedEffect(effect.name);
        instance->diagnostics().hideSuite("PF Param Utils Suite", 2);
        EXPECT_EQ(instance->updateParamsUI(), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_TRUE(instance->diagnostics().account().unreleasedSuites.empty());
    }
}

} // namespace
