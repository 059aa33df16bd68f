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

// Every failure ends in one line, whatever names the message carries (PlainText.h).
int failed(const char* message) {
    std::fprintf(stderr, "ondrel: %s\n", OndrelCli::shownText(message).c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    OndrelCli::handleTerminationSignals();
    OndrelCli::GlobalOptions options{OndrelCli::defaultModule()};
    CLI::App app("Runs the effects of a module through the offline host.", "ondrel");
    app.set_version_flag("--version", "ondrel " ONDREL_VERSION);
    app.require_subcommand(1);
    // One line naming the mistake, like every other error of the command.
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return "ondrel: " + OndrelCli::shownText(e.what()) + " (see --help)\n";
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

    try {
        app.parse(argc, argv);
        OndrelCli::closeStandardOutput();
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
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
