#pragma once

// A popup's items as the module lists them ("Fill|Stroke|Fill and Stroke"), and the usual
// spelling users may type for an item whose text the module spells otherwise. The module's own
// text is what the host shows and what recipes are written with.

#include "AE_Effect.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace OndrelCli {

// A separator line in the menu: numbered like an item, never a choice.
constexpr std::string_view popupSeparator = "(-";

// Every item's text in order, separators included: item n is at n - 1.
std::vector<std::string> popupItems(const PF_PopupDef& popup);

// The usual spelling of an item the module spells otherwise ("Exclusion" for "Exclution").
std::optional<std::string_view> usualSpelling(std::string_view item);

// The items users may choose, each after the number it takes, as messages list them: "1 None,
// 3 Normal, ..., 28 Exclution (or Exclusion)". Separators are counted but not listed.
std::string numberedChoices(const std::vector<std::string>& items);

// The number (from 1) of the item named by its text or its usual spelling, in any case.
std::optional<int> itemNamed(const std::vector<std::string>& items, std::string_view name);

} // namespace OndrelCli
