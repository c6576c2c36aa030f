// SPDX-License-Identifier: GPL-3.0-or-later
// The window's executable, started by `vesko` for every mode that needs Qt: the window, the
// diagnostic reports, and --find sorted by kind (the desktop's MIME database names kinds).
#include "app/DevOptions.h"
#include "app/EntryPoint.h"
#include "app/FindMode.h"
#include "app/Headless.h"
#include "app/MimeKinds.h"
#include "app/SearchIn.h"
#include "shell/WindowedApp.h"

namespace vesko {
namespace {

int runWindowed(const Arguments& given) {
    // Started by `vesko`, the folder is checked already; started directly, not yet.
    const auto args = SearchIn::checked(given);
    if (!args) return 2;
    WindowedApp::Launch launch;
    launch.arguments = *args;
    launch.searchIn = DevOptions::valueIn(EntryPoint::optionsOf(*args), "--search-in");
    launch.hidden = DevOptions::hasIn(*args, "--hidden");
    launch.devRoot = DevOptions::root();
    launch.devQuery = DevOptions::query();
    launch.devContents = DevOptions::contents();
    launch.devSelect = DevOptions::select();
    return WindowedApp::run(launch);
}

int run(const Arguments& args) {
    const Arguments options = EntryPoint::optionsOf(args);
    switch (EntryPoint::chooseMode(args)) {
    case Mode::scan:
        Headless::run(args);
        return 0;
    case Mode::bench:
        return Headless::bench(DevOptions::valueIn(options, "--out"));
    case Mode::drift:
        Headless::driftTest(DevOptions::valueIn(options, "--out"));
        return 0;
    case Mode::watch:
        return Headless::watchTest(*DevOptions::valueIn(options, "--watch"),
                                   DevOptions::valueIn(options, "--out"));
    case Mode::find:
        return FindMode::run(args, MimeKinds::lookup());
    case Mode::windowed:
        return runWindowed(args);
    case Mode::help:
    case Mode::version:
        break;
    }
    return EntryPoint::runCommandLine(args);
}

} // namespace
} // namespace vesko

int main(int argc, char** argv) {
    vesko::DevOptions::setArguments(argc, argv);
    return vesko::run(vesko::DevOptions::arguments());
}
