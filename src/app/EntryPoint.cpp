// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/EntryPoint.h"

#include "app/FindMode.h"
#include "app/SearchIn.h"
#include "app/WindowExecutable.h"

#include <algorithm>
#include <cstdio>

namespace vesko::EntryPoint {

Arguments optionsOf(const Arguments& all) {
    return Arguments(all.begin(), std::find(all.begin(), all.end(), "--"));
}

Mode chooseMode(const Arguments& all) {
    const Arguments args = optionsOf(all);
    if (DevOptions::hasIn(args, "--scan")) return Mode::scan;
    if (DevOptions::hasIn(args, "--bench")) return Mode::bench;
    if (DevOptions::hasIn(args, "--drift")) return Mode::drift;
    if (DevOptions::valueIn(args, "--watch")) return Mode::watch;
    // Without a query the find mode still runs, to say that one is missing.
    if (DevOptions::hasIn(args, "--find")) return Mode::find;
    if (DevOptions::hasIn(args, "--help")) return Mode::help;
    if (DevOptions::hasIn(args, "--version")) return Mode::version;
    return Mode::windowed;
}

std::string usageText() {
    return "Usage: vesko [MODE] [OPTIONS]\n"
           "\n"
           "Vesko keeps every file and folder name under your home folder in memory and\n"
           "finds them as you type.\n"
           "\n"
           "Modes:\n"
           "  --scan                 scan the roots and print a report\n"
           "      --root PATH        scan this folder instead of the home folder\n"
           "      --archive          also save and reload the index archive\n"
           "      --query TEXT       time this query (repeatable)\n"
           "  --bench                benchmark searches over the saved archive\n"
           "  --drift                check the once-a-day full rescan rule\n"
           "  --watch PROBE          probe the live-update path in the folder PROBE\n"
           "  --out PATH             write the report of the mode to PATH\n"
           "  --find QUERY           print the full path of each hit, one per line\n"
           "      --root PATH        search this folder instead of the usual roots\n"
           "      --in DIR           only what lies in the folder DIR\n"
           "      --limit N          at most N paths (default 100; 0 for all)\n"
           "      --sort FIELD       relevance, none, name, path, kind, size, modified,\n"
           "                         created or accessed (default relevance)\n"
           "      --ascending, --descending  the direction of --sort\n"
           "      --regex            QUERY is a POSIX extended regular expression\n"
           "      --path             match QUERY against full paths\n"
           "      --case             a regular expression keeps letter case: [A-Z] is capitals\n"
           "      --match-diacritics accents count: resume no longer finds résumé\n"
           "      --count            print only the number of matches\n"
           "      --print0           end each path with NUL instead of a newline\n"
           "      --existing         only hits that still exist on disk (counted too)\n"
           "                         Exit status: 0 with hits, 1 without, 2 on error.\n"
           "  --help                 show this text\n"
           "  --version              print the version\n"
           "\n"
           "Without a mode, Vesko starts its window, or brings forward the window of the\n"
           "Vesko already running and exits.\n"
           "  --search-in DIR        search only in the folder DIR (relative to the working\n"
           "                         folder); a folder outside the indexed ones is read once\n"
           "  --hidden               start with the window hidden (used at login)\n"
           "  --dev-root PATH        index only this folder\n"
           "  --dev-query TEXT       start with this query\n"
           "  --dev-contents TEXT    start with this content filter\n"
           "  --dev-select N         select row N of the first search that has it\n"
           "Set VESKO_TRACE_STARTUP=1 to time the start on standard error.\n";
}

int runCommandLine(const Arguments& args) {
    switch (chooseMode(args)) {
    case Mode::find:
        if (FindMode::needsKinds(args)) break;
        return FindMode::run(args, {});
    case Mode::help:
        std::fputs(usageText().c_str(), stdout);
        return 0;
    case Mode::version:
        std::printf("vesko %s\n", VESKO_VERSION);
        return 0;
    case Mode::windowed: {
        const auto checked = SearchIn::checked(args);
        return checked ? WindowExecutable::run(*checked) : 2;
    }
    default:
        break;
    }
    return WindowExecutable::run(args);
}

} // namespace vesko::EntryPoint
