#include "cli/params/PopupItems.h"

#include "cli/core/Text.h"

namespace OndrelCli {
namespace {

constexpr struct {
    std::string_view module;
    std::string_view usual;
} spellings[] = {
    {"Exclution", "Exclusion"}, // "Blending Mode"
};

} // namespace

std::vector<std::string> popupItems(const PF_PopupDef& popup) {
    return split(popup.u.namesptr != nullptr ? popup.u.namesptr : "", '|');
}

std::optional<std::string_view> usualSpelling(std::string_view item) {
    for (const auto& spelling : spellings) {
        if (spelling.module == item) {
            return spelling.usual;
        }
    }
    return std::nullopt;
}

std::string numberedChoices(const std::vector<std::string>& items) {
    std::vector<std::string> choices;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] != popupSeparator) {
            const auto usual = usualSpelling(items[i]);
            choices.push_back(std::to_string(i + 1) + " " + items[i] +
                              (usual ? " (or " + std::string(*usual) + ")" : ""));
        }
    }
    return joined(choices);
}

std::optional<int> itemNamed(const std::vector<std::string>& items, std::string_view name) {
    const std::string wanted = lower(std::string(name));
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto usual = usualSpelling(items[i]);
        if (items[i] != popupSeparator &&
            (lower(items[i]) == wanted || (usual && lower(std::string(*usual)) == wanted))) {
            return static_cast<int>(i + 1);
        }
    }
    return std::nullopt;
}

} // namespace OndrelCli
