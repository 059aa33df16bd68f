// ondrel: runs the effects of a module without the host application.

#include "cli/ModuleLocation.h"
#include "cli/commands/Commands.h"
#include "cli/commands/OptionChecks.h"
#include "cli/core/CliError.h"
#include "cli/core/PlainText.h"
#include "cli/terminal/Signals.h"
#include "cli/terminal/StandardOutput.h"

#include "host/system/HostError.h"

#include <cstdio>
#include <exception>
#include <new>

namespace {

// The exit statuses: a render, a file or a recipe that failed, and a mistake in the command line
// itself, whichever part found it. A signal ends ondrel with 128 and its number (Signals.h).
constexpr int failure = 1;
constexpr int usageMistake = 2;

// Every failure ends in one line, whatever names the message carries (PlainText.h).
int failed(const char* message, int status = failure) {
    std::fprintf(stderr, "ondrel: %s\n", OndrelCli::shownText(message).c_str());
    return status;
}

} // namespace

int main(int argc, char** argv) {
    OndrelCli::handleTerminationSignals();
    OndrelCli::GlobalOptions options{OndrelCli::defaultModule()};
    CLI::App app("Runs the effects of a module through the offline host.", "ondrel");
    app.set_version_flag("--version", "ondrel " ONDREL_VERSION);
    app.require_subcommand(1);
    // One line naming the mistake, like every other error of the command.
    app.failure_message([](const CLI::App* failing, const CLI::Error& e) {
        return "ondrel: " + OndrelCli::usageMistake(*failing, e) + " (see --help)\n";
    });
    app.fallthrough(); // --module may follow the subcommand
    app.add_option("--module", options.module, "The module to load")
        ->capture_default_str()
        ->each([&options](const std::string&) { options.moduleGiven = true; });
    app.add_flag("--strict", options.strict,
                 "Check the module while it runs: guard bands around its worlds, a poisoned "
                 "output, and nothing left unbalanced after a command");

    OndrelCli::addListCommand(app, options);
    OndrelCli::addAboutCommand(app, options);
    OndrelCli::addParamsCommand(app, options);
    OndrelCli::addRenderCommand(app, options);
    OndrelCli::addRecipeCommand(app, options);
    OndrelCli::addSubmitCommand(app, options);
    OndrelCli::addServeCommand(app, options);
    OndrelCli::refuseRepeatedOptions(app);

    if (argc < 2) {
        std::fputs(app.help().c_str(), stderr);
        return usageMistake;
    }
    try {
        app.parse(argc, argv);
        OndrelCli::closeStandardOutput();
    } catch (const CLI::ParseError& e) {
        // --help and --version end here too, with status 0.
        return app.exit(e) == 0 ? 0 : usageMistake;
    } catch (const OndrelCli::UsageError& e) {
        return failed(e.what(), usageMistake);
    } catch (const OfflineHost::HostError& e) {
        return failed(e.what());
    } catch (const OndrelCli::CliError& e) {
        return failed(e.what());
    } catch (const std::bad_alloc&) {
        return failed("not enough memory");
    } catch (const std::exception& e) {
        // A failure no check above foresaw still ends in one line and a status, never an abort.
        return failed(e.what());
    }
    return 0;
}
