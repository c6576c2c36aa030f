// SPDX-License-Identifier: MIT
// An archive folder that cannot be written: under a regular file, on a read-only mount, or
// without write permission. Saving must fail with a message naming the file and the cause,
// and the archive saved before must still load.
#include "index/IndexArchive.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

namespace vesko {
namespace {

constexpr int cannotLock = 77;
constexpr uid_t nobody = 65534;
const std::vector<std::string> roots = {"/home/u"};

struct Sample {
    FileIndex index;
    SharedNameTable names = std::make_shared<NameTable>();
    Sample() {
        index.dirParent.append(0);
        index.dirName.append(names->intern("/home/u"));
        index.rootPaths = {{0, "/home/u"}};
        index.appendEntry(names->intern("notes.txt"), 0, EntryFlags::none(), 5, 1, 2, 3);
    }
};

// Makes the archive folder unwritable for the rest of the calling (child) process; false
// when this machine does not allow it.
using Lock = std::function<bool(test::TempTree& tree, const std::string& folder)>;

bool readOnlyMount(test::TempTree&, const std::string& folder) {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           ::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) ==
               0;
}

bool withoutWritePermission(test::TempTree& tree, const std::string& folder) {
    if (::geteuid() != 0) return ::chmod(folder.c_str(), 0500) == 0;
    // Root writes anywhere: hand the folder to an unprivileged user who may not write it.
    return ::chmod(tree.root().c_str(), 0755) == 0 &&
           ::chmod(tree.path("cache").c_str(), 0755) == 0 &&
           ::chown(folder.c_str(), nobody, nobody) == 0 &&
           ::chown((folder + "/" + IndexArchive::fileName).c_str(), nobody, nobody) == 0 &&
           ::chmod(folder.c_str(), 0500) == 0 && ::setgroups(0, nullptr) == 0 &&
           ::setresgid(nobody, nobody, nobody) == 0 && ::setresuid(nobody, nobody, nobody) == 0;
}

bool cacheUnderAFile(test::TempTree& tree, const std::string&) {
    return ::setenv("XDG_CACHE_HOME", tree.file("a-file", "kept").c_str(), 1) == 0;
}

struct UnwritableCase {
    const char* name;
    Lock lock;
    int error;          // the cause the message must name
    bool previousThere; // whether the archive saved before is where the save now goes
};

class UnwritableArchiveFolder : public ::testing::TestWithParam<UnwritableCase> {
protected:
    void SetUp() override {
        if (const char* cache = std::getenv("XDG_CACHE_HOME")) savedCache = cache;
        ::setenv("XDG_CACHE_HOME", tree.path("cache").c_str(), 1);
    }
    void TearDown() override {
        if (savedCache)
            ::setenv("XDG_CACHE_HOME", savedCache->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
    }

    test::TempTree tree;
    std::optional<std::string> savedCache;
};

// 1 no error or one that names neither the file nor the cause, 2 the archive saved before
// no longer loads from where the save went, 4 a temporary file was left behind.
int saveWhileLocked(const UnwritableCase& c, test::TempTree& tree, const std::string& folder) {
    if (!c.lock(tree, folder)) return cannotLock;
    const std::string target = IndexArchive::defaultURL();
    const Sample sample;
    const auto error = IndexArchive::save(sample.index, *sample.names, 2, 0, target);
    int failures = 0;
    if (!error || error->find(target) == std::string::npos ||
        error->find(std::strerror(c.error)) == std::string::npos)
        failures |= 1;
    const auto loaded = IndexArchive::load(roots, target);
    if (c.previousThere != (loaded && loaded->lastEventID == 1)) failures |= 2;
    std::error_code ignored;
    for (const auto& item : std::filesystem::directory_iterator(folder, ignored))
        if (item.path().extension() == ".tmp") failures |= 4;
    return failures;
}

TEST_P(UnwritableArchiveFolder, SaveFailsClearlyAndThePreviousArchiveStillLoads) {
    const std::string target = IndexArchive::defaultURL();
    const std::string folder = target.substr(0, target.rfind('/'));
    const Sample sample;
    ASSERT_EQ(IndexArchive::save(sample.index, *sample.names, 1, 0, target), std::nullopt);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(saveWhileLocked(GetParam(), tree, folder));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == cannotLock)
        GTEST_SKIP() << "this machine does not let a test make a folder unwritable this way";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "bits: 1 message, 2 previous archive, 4 temporary file left";

    // An archive is loaded only by its owner: give back what the child handed away.
    ::chown(folder.c_str(), ::geteuid(), ::getegid());
    ::chown(target.c_str(), ::geteuid(), ::getegid());
    const auto loaded = IndexArchive::load(roots, target);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->lastEventID, 1u);
    EXPECT_EQ(loaded->index.path(0, *loaded->names), "/home/u/notes.txt");
}

INSTANTIATE_TEST_SUITE_P(
    Places, UnwritableArchiveFolder,
    ::testing::Values(UnwritableCase{"ReadOnlyMount", readOnlyMount, EROFS, true},
                      UnwritableCase{"NoWritePermission", withoutWritePermission, EACCES, true},
                      UnwritableCase{"CacheUnderARegularFile", cacheUnderAFile, ENOTDIR, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vesko
