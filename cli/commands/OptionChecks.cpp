#include "cli/commands/OptionChecks.h"

#include "cli/core/CliError.h"
#include "cli/core/Text.h"

#include <memory>
#include <optional>

namespace OndrelCli {

void takesWholeNumber(CLI::Option* option, long least, const std::string& expected, long most) {
    const std::string name = option->get_name();
    option->check(CLI::Validator(
        [=](std::string& text) {
            const auto value = wholeNumber(text);
            if (!value || *value < least || *value > most) {
                throw CliError(name + " " + text + ": " + expected);
            }
            return std::string();
        },
        ""));
}

void refuseRepeatedOptions(CLI::App& app) {
    for (CLI::Option* option : app.get_options()) {
        if (option->get_positional() || option->get_items_expected_max() != 1) {
            continue; // flags, lists, and the effect, which CLI11 names as an unexpected argument
        }
        const std::string name = option->get_name();
        auto first = std::make_shared<std::optional<std::string>>();
        option->check(CLI::Validator(
            [=](std::string& text) {
                if (*first) {
                    throw CliError(name + " is given twice, " + inQuotes(**first) + " and " +
                                   inQuotes(text) + "; give it once");
                }
                *first = text;
                return std::string();
            },
            ""));
    }
    for (CLI::App* command : app.get_subcommands({})) {
        refuseRepeatedOptions(*command);
    }
}

} // namespace OndrelCli
