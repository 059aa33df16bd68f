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
                throw UsageError(name + " " + text + ": " + expected);
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
                    throw UsageError(name + " is given twice, " + inQuotes(**first) + " and " +
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

std::string usageMistake(const CLI::App& app, const CLI::Error& error) {
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    for (const std::string& word : app.remaining(true)) {
        if (word.rfind("--", 0) == 0) {
            // The chosen commands' options and ondrel's own.
            std::vector<const CLI::App*> owners(chosen.begin(), chosen.end());
            owners.push_back(&app);
            std::vector<std::string> options;
            for (const CLI::App* owner : owners) {
                for (const CLI::Option* option : owner->get_options()) {
                    for (const std::string& name : option->get_lnames()) {
                        options.push_back("--" + name);
                    }
                }
            }
            const std::string typed = word.substr(0, word.find('='));
            if (const auto nearest = nearestName(typed, options)) {
                return "unknown option " + inQuotes(typed) + "; did you mean " + *nearest + "?";
            }
        } else if (chosen.empty() && word.rfind('-', 0) != 0) {
            std::vector<std::string> commands;
            for (const CLI::App* command :
                 app.get_subcommands([](const CLI::App*) { return true; })) {
                commands.push_back(command->get_name());
            }
            return "unknown command " + inQuotes(word) +
                   suggestingThen(nearestName(word, commands),
                                  "the commands are " + joined(commands));
        }
    }
    return shownText(error.what());
}

} // namespace OndrelCli
