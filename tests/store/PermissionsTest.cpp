// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Permissions.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace vesko {
namespace {

using Permissions::Status;

TEST(Permissions, FirstProbeThatOpensDecides) {
    struct Case {
        const char* name;
        std::vector<std::string> folders; // created below the home folder
        std::vector<std::string> files;   // probes that are plain files instead
        Status expected;
    };
    const Case cases[] = {
        {"none exists", {}, {}, Status::unknown},
        {"last probe only", {".cache"}, {}, Status::granted},
        {"a nested probe", {".local/share"}, {}, Status::granted},
        {"files are not folders", {}, {".config", ".cache"}, Status::unknown},
        {"a file before a folder", {".cache"}, {".config"}, Status::granted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempTree home;
        for (const auto& folder : c.folders)
            home.dir(folder);
        for (const auto& file : c.files)
            home.file(file);
        EXPECT_EQ(Permissions::check(home.root()), c.expected);
    }
}

TEST(Permissions, RefusedFolderMeansDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "root opens every folder";
    test::TempTree home;
    home.dir(".config");
    home.chmod(".config", 0);
    home.dir(".local/share");
    home.chmod(".local", 0);
    EXPECT_EQ(Permissions::check(home.root()), Status::denied);
    home.dir(".cache");
    EXPECT_EQ(Permissions::check(home.root()), Status::granted);
}

} // namespace
} // namespace vesko
