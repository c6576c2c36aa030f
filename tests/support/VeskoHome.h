// SPDX-License-Identifier: GPL-3.0-or-later
// The real executable with a private home: HOME, XDG_CACHE_HOME, XDG_CONFIG_HOME and
// XDG_DATA_HOME all point into one temporary folder, so no run touches the user's index or
// preferences. Only for test programs built with VESKO_EXECUTABLE defined.
#pragma once

#include "support/ProcessRunner.h"
#include "support/TempTree.h"

#include <filesystem>
#include <system_error>

namespace vesko::test {

class VeskoHome {
public:
    Launch launch(std::vector<std::string> args) const {
        Launch launch;
        launch.argv = {VESKO_EXECUTABLE};
        launch.argv.insert(launch.argv.end(), args.begin(), args.end());
        launch.env = {{"HOME", userHome.empty() ? home.root() : userHome},
                      {"XDG_CACHE_HOME", home.path("cache")},
                      {"XDG_CONFIG_HOME", home.path("config")},
                      {"XDG_DATA_HOME", home.path("data")}};
        return launch;
    }
    Finished run(std::vector<std::string> args) const { return test::run(launch(std::move(args))); }

    // The archives in the private cache folder (each name carries a hash of its roots).
    std::vector<std::string> archives() const {
        std::vector<std::string> found;
        std::error_code error;
        for (const auto& item :
             std::filesystem::directory_iterator(home.path("cache/vesko"), error))
            if (item.path().extension() == ".veskoindex") found.push_back(item.path().string());
        return found;
    }
    // The one archive there; empty when there is none.
    std::string archivePath() const {
        const auto found = archives();
        return found.empty() ? std::string() : found.front();
    }

    TempTree home;
    std::string userHome; // HOME when not empty; the caches and settings stay in `home`
};

} // namespace vesko::test
