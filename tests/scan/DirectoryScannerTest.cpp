// SPDX-License-Identifier: MIT
#include "scan/DirectoryScanner.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesko {
namespace {

using DirectoryScanner::Outcome;

struct Seen {
    EntryFlags flags;
    std::uint64_t size = 0;
    std::uint32_t modified = 0, created = 0, accessed = 0;
};

struct Listing {
    Outcome outcome = Outcome::failed;
    std::int64_t syscalls = 0;
    std::map<std::string, Seen> entries;
    int deliveries = 0;
};

Listing list(const std::string& path) {
    std::vector<std::byte> buffer(DirectoryScanner::bufferSize);
    Listing listing;
    auto onEntry = [&](const char* name, std::size_t length, EntryFlags flags, std::uint64_t size,
                       std::uint32_t modified, std::uint32_t created, std::uint32_t accessed) {
        listing.entries[std::string(name, length)] = {flags, size, modified, created, accessed};
        ++listing.deliveries;
    };
    listing.outcome = DirectoryScanner::scan(path.c_str(), buffer, listing.syscalls, onEntry);
    return listing;
}

TEST(DirectoryScannerTest, ListsDirectChildrenWithTypesAndSizesWithoutDotEntries) {
    test::TempTree tree;
    tree.addTrickyTree();
    const Listing listing = list(tree.root());
    ASSERT_EQ(listing.outcome, Outcome::completed);

    EXPECT_FALSE(listing.entries.contains(".") || listing.entries.contains(".."));
    EXPECT_EQ(listing.deliveries, static_cast<int>(listing.entries.size())) << "each once";
    const Seen& file = listing.entries.at("plain.txt");
    EXPECT_EQ(file.flags, EntryFlags::none());
    EXPECT_EQ(file.size, 5u);
    EXPECT_NE(file.modified, 0u);
    const Seen& folder = listing.entries.at("loop");
    EXPECT_EQ(folder.flags, EntryFlags::directory());
    EXPECT_EQ(folder.size, 0u) << "folders report no size";
    const Seen& link = listing.entries.at("link-to-plain");
    EXPECT_EQ(link.flags, EntryFlags::symlink()) << "the link itself, not its target";
    EXPECT_EQ(link.size, std::string("plain.txt").size());
    EXPECT_TRUE(listing.entries.contains("bad\xFF\xFEname.bin")) << "raw name bytes are delivered";
}

TEST(DirectoryScannerTest, RefusesWhatIsNotADirectoryAndDeliversNothing) {
    test::TempTree tree;
    tree.dir("real/inside");
    tree.file("file.txt", "x");
    tree.symlink("real", "link");
    for (const std::string relative : {"missing", "file.txt", "link"}) {
        const Listing listing = list(tree.path(relative));
        EXPECT_EQ(listing.outcome, Outcome::failed) << relative;
        EXPECT_EQ(listing.deliveries, 0) << relative;
        EXPECT_EQ(listing.syscalls, 0) << relative;
    }
}

TEST(DirectoryScannerTest, SecondsAreClampedToUnsigned32) {
    const std::pair<std::int64_t, std::uint32_t> cases[] = {
        {-100, 0},
        {0, 0},
        {1'000'000'000, 1'000'000'000},
        {4'294'967'295, 0xFFFFFFFFu},
        {5'000'000'000, 0xFFFFFFFFu},
    };
    test::TempTree tree;
    for (const auto& [written, stored] : cases) {
        tree.file("f");
        tree.setModified("f", written);
        struct stat st {};
        ASSERT_EQ(lstat(tree.path("f").c_str(), &st), 0);
        if (st.st_mtim.tv_sec != written) continue; // the file system cannot store it
        const Seen seen = list(tree.root()).entries.at("f");
        EXPECT_EQ(seen.modified, stored) << written;
        EXPECT_EQ(seen.accessed, stored) << written;
    }
}

std::size_t openDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

TEST(DirectoryScannerTest, ThrowingCallbackStillClosesTheDirectory) {
    test::TempTree tree;
    tree.file("a");
    std::vector<std::byte> buffer(DirectoryScanner::bufferSize);
    std::int64_t syscalls = 0;
    const std::size_t before = openDescriptors();
    auto throwing = [](const char*, std::size_t, EntryFlags, std::uint64_t, std::uint32_t,
                       std::uint32_t, std::uint32_t) { throw std::runtime_error("stop"); };
    EXPECT_THROW(DirectoryScanner::scan(tree.root().c_str(), buffer, syscalls, throwing),
                 std::runtime_error);
    EXPECT_EQ(openDescriptors(), before);
}

} // namespace
} // namespace vesko
