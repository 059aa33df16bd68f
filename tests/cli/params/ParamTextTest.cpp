// Values shown as users write them: numbers without needless digits or exponents, the host's
// 16.16 values as the decimal that was typed, colours without an alpha the host has no control
// for, and popup items by the module's text or its usual spelling.

#include "cli/params/ParamText.h"
#include "cli/core/Text.h"
#include "cli/params/PopupItems.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

using namespace OndrelCli;

namespace {

// What a user types for a value given in ten-thousandths: 5216000 is "521.6", -5 is "-0.0005".
std::string typed(long tenThousandths) {
    const long whole = std::labs(tenThousandths) / 10000;
    std::string fraction = std::to_string(std::labs(tenThousandths) % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    fraction.erase(fraction.find_last_not_of('0') + 1);
    return (tenThousandths < 0 ? "-" : "") + std::to_string(whole) +
           (fraction.empty() ? "" : "." + fraction);
}

// The host's 16.16 value for a number: the nearest step of 1/65536.
PF_Fixed held(double value) {
    return static_cast<PF_Fixed>(std::llround(value * 65536.0));
}

PF_ParamDef delivered(PF_ParamType type) {
    PF_ParamDef def{};
    def.param_type = type;
    return def;
}

} // namespace

TEST(ParamText, NumbersAreWrittenAsPeopleWriteThem) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {100, "100"},
        {0.1, "0.1"},
        {-0.5, "-0.5"},
        {1e6, "1000000"},
        {-1e6, "-1000000"},
        {0.000001, "0.000001"},
        {1e16, "1e16"},
        {1e300, "1e300"},
        {2.5e-9, "2.5e-9"},
        {-3e-7, "-3e-7"},
        {123456789012345, "123456789012345"},
        {0.1 + 0.2, "0.30000000000000004"}, // a different double from 0.3 reads back as itself
    };
    for (const auto& c : cases) {
        EXPECT_EQ(numberText(c.value), c.text) << c.value;
    }
    // Every double reads back as itself, whatever its size.
    std::mt19937_64 random(7);
    for (int i = 0; i < 100000; ++i) {
        const std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) {
            ASSERT_EQ(number(numberText(value)), value) << numberText(value);
        }
    }
}

// A value typed with up to four decimals is shown as typed, though the host holds the nearest
// 1/65536; every held value is shown as a decimal that the host rounds back to it.
TEST(ParamText, SixteenSixteenValuesComeBackAsTyped) {
    EXPECT_EQ(fixedText(held(521.6)), "521.6");
    EXPECT_EQ(fixedText(1), "0.00002"); // 1/65536 = 0.0000153, and 0.00002 rounds to it
    EXPECT_EQ(fixedText(-(1 << 16)), "-1");
    EXPECT_EQ(fixedText(0x7fffffff), "32767.99998");

    std::mt19937 random(11);
    std::uniform_int_distribution<long> anywhere(-327670000, 327670000);
    for (int i = 0; i < 200000; ++i) {
        const long t = i < 60001 ? i - 30000 : anywhere(random); // all of -3 to 3, then anywhere
        ASSERT_EQ(fixedText(held(static_cast<double>(t) / 10000.0)), typed(t)) << t;
    }
    std::uniform_int_distribution<PF_Fixed> anyHeld(INT32_MIN, INT32_MAX);
    for (int i = 0; i < 200000; ++i) {
        const PF_Fixed value = anyHeld(random);
        const std::string text = fixedText(value);
        ASSERT_EQ(held(*number(text)), value) << text;
        const auto point = text.find('.');
        ASSERT_LE(point == std::string::npos ? 0 : text.size() - point - 1, 5u) << text;
    }
}

TEST(ParamText, DeliveredValuesAreWrittenAsSetTakesThem) {
    PF_ParamDef point = delivered(PF_Param_POINT);
    point.u.td.x_value = held(521.6);
    point.u.td.y_value = held(300);
    EXPECT_EQ(deliveredText(point), "521.6,300");

    PF_ParamDef angle = delivered(PF_Param_ANGLE);
    angle.u.ad.value = held(-12.3);
    EXPECT_EQ(deliveredText(angle), "-12.3");

    PF_ParamDef opacity = delivered(PF_Param_FIX_SLIDER);
    opacity.u.fd.value = held(66.7);
    EXPECT_EQ(deliveredText(opacity), "66.7");

    // The host's colour controls have no alpha: a colour is written as one can give it back.
    PF_ParamDef colour = delivered(PF_Param_COLOR);
    colour.u.cd.value = PF_Pixel{128, 255, 136, 0};
    EXPECT_EQ(deliveredText(colour), "#ff8800");
}

TEST(ParamText, PopupItemsAreNamedByTheirTextOrTheirUsualSpelling) {
    PF_PopupDef blend{};
    blend.u.namesptr = "None|(-|Normal|(-|Difference|Classic Difference|Exclution|(-|Hue";
    const auto items = popupItems(blend);
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(itemNamed(items, "Exclution"), 7);
    EXPECT_EQ(itemNamed(items, "Exclusion"), 7);
    EXPECT_EQ(itemNamed(items, "EXCLUSION"), 7);
    EXPECT_EQ(itemNamed(items, "normal"), 3);
    EXPECT_EQ(itemNamed(items, "(-"), std::nullopt);
    EXPECT_EQ(itemNamed(items, "Exclusio"), std::nullopt);
    EXPECT_EQ(usualSpelling("Exclution"), "Exclusion");
    EXPECT_EQ(usualSpelling("Difference"), std::nullopt);
}
