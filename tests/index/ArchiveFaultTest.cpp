// SPDX-License-Identifier: GPL-3.0-or-later
// An archive that cannot be written: its folder under a regular file, on a read-only mount
// or without write permission, or a disk that fills up during the write. Saving must fail
// with a message naming the file and the cause, and the archive saved before must still load.
#include "index/IndexArchive.h"

#include "support/ChildProcess.h"
#include "support/MemoryIndex.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

namespace vesko {
namespace {

constexpr int cannotLock = test::cannotSetUpChild;
constexpr uid_t nobody = 65534;
const std::vector<std::string> roots = {"/home/u"};

struct Sample : test::MemoryIndex {
    Sample() : MemoryIndex("/home/u", {"notes.txt"}) {}
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

// A file-size limit makes the kernel cut the write short, then refuse it with EFBIG, as a
// full disk would.
bool diskFull(test::TempTree&, const std::string&) {
    const rlimit limit{300, 300};
    return ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

struct UnwritableCase {
    const char* name;
    Lock lock;
    int error;          // the cause the message must name
    bool previousThere; // whether the archive saved before is where the save now goes
};

class UnwritableArchiveFolder : public ::testing::TestWithParam<UnwritableCase> {
protected:
    test::TempTree tree;
    test::ScopedEnv env{"XDG_CACHE_HOME", tree.path("cache")};
};

// 1 no error or one that names neither the file nor the cause, 2 the archive saved before
// no longer loads from where the save went, 4 a temporary file was left behind.
int saveWhileLocked(const UnwritableCase& c, test::TempTree& tree, const std::string& folder) {
    if (!c.lock(tree, folder)) return cannotLock;
    const std::string target = IndexArchive::urlFor(roots);
    const Sample sample;
    const auto error = IndexArchive::save(sample.index, sample.names, 2, 0, target);
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
    const std::string target = IndexArchive::urlFor(roots);
    const std::string folder = target.substr(0, target.rfind('/'));
    const Sample sample;
    ASSERT_EQ(IndexArchive::save(sample.index, sample.names, 1, 0, target), std::nullopt);

    const int status = test::runInChild([&] { return saveWhileLocked(GetParam(), tree, folder); });
    if (status == cannotLock)
        GTEST_SKIP() << "this machine does not let a test make a folder unwritable this way";
    EXPECT_EQ(status, 0) << "bits: 1 message, 2 previous archive, 4 temporary file left";

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
                      UnwritableCase{"CacheUnderARegularFile", cacheUnderAFile, ENOTDIR, false},
                      UnwritableCase{"DiskFull", diskFull, EFBIG, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vesko
