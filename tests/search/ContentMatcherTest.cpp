// SPDX-License-Identifier: MIT
#include "search/ContentMatcher.h"

#include "support/TempTree.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace vesko {
namespace {

constexpr std::int64_t mib = 1024 * 1024;

struct Counters {
    std::int64_t examined, skippedBinary, unreadable, truncatedMiss;
    bool operator==(const Counters&) const = default;
};

Counters countersOf(const ContentMatcher& m) {
    return {m.examined(), m.skippedBinary(), m.unreadable(), m.truncatedMiss()};
}

void PrintTo(const Counters& c, std::ostream* os) {
    *os << "{examined " << c.examined << ", binary " << c.skippedBinary << ", unreadable "
        << c.unreadable << ", truncated " << c.truncatedMiss << "}";
}

// A sparse file of `size` bytes: text in the first 8 KiB so it does not look binary, and
// `text` written at `offset`.
std::string sparseFile(test::TempTree& tree, const std::string& name, std::int64_t size,
                       std::int64_t offset, const std::string& text) {
    const std::string path = tree.file(name, std::string(8192, 'x'));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, size), 0);
    EXPECT_EQ(::pwrite(fd, text.data(), text.size(), offset), static_cast<ssize_t>(text.size()));
    ::close(fd);
    return path;
}

bool containsText(const ContentMatcher& m, const std::string& data) {
    return m.contains(reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

TEST(ContentMatcher, NeedleIsNormalizedLikeANameQuery) {
    EXPECT_EQ(ContentMatcher("Hello World", 10).needle(), "hello world");
    EXPECT_EQ(ContentMatcher("\xC3\x89t\xC3\xA9", 10).needle(), "\xC3\xA9t\xC3\xA9"); // Été
    EXPECT_EQ(ContentMatcher("E\xCC\x81", 10).needle(), "\xC3\xA9"); // NFD É composes
    EXPECT_TRUE(ContentMatcher("", 10).isEmpty());
    EXPECT_FALSE(ContentMatcher(" ", 10).isEmpty());
}

TEST(ContentMatcher, ContainsFoldsOnlyAsciiLettersOfTheData) {
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"Hello", "say HELLO there", true},
        {"Hello", "hello", true},
        {"Hello", "xhElLo", true},
        {"Hello", "hell", false}, // data shorter than the needle
        {"Hello", "hel lo", false},
        {"hello", "hhhhello", true}, // a partial match before the real one
        {"[a]", "[A]", true},
        {"@", "`", false},                  // neighbours of A-Z do not fold
        {"\xC3\xA9", "caf\xC3\x89", false}, // É in the file is not é
        {"\xC3\xA9", "caf\xC3\xA9", true},
        {"\xC3\x89", "caf\xC3\xA9", true}, // the query itself is lowercased
        {"", "anything", false},
    };
    for (const auto& [query, data, expected] : cases)
        EXPECT_EQ(containsText(ContentMatcher(query, 1), data), expected)
            << query << " in " << data;
}

TEST(ContentMatcher, MatchesTextFilesAndCountsEachExamination) {
    test::TempTree tree;
    ContentMatcher m("needle", 100);
    EXPECT_TRUE(m.matches(tree.file("a.txt", "hay\nNEEDLE\nhay")));
    EXPECT_FALSE(m.matches(tree.file("b.txt", "hay only")));
    EXPECT_TRUE(m.matches(tree.file("c.txt", "ends with needle")));
    EXPECT_EQ(countersOf(m), (Counters{3, 0, 0, 0}));
}

TEST(ContentMatcher, EmptyAndShortFilesAreExaminedButNeverMatch) {
    test::TempTree tree;
    ContentMatcher m("needle", 100);
    EXPECT_FALSE(m.matches(tree.file("empty")));
    EXPECT_FALSE(m.matches(tree.file("short", "need")));
    EXPECT_EQ(countersOf(m), (Counters{2, 0, 0, 0}));
    ContentMatcher empty("", 100);
    EXPECT_FALSE(empty.matches(tree.file("text", "anything")));
}

TEST(ContentMatcher, AZeroByteInTheFirst8KiBSkipsTheFileAsBinary) {
    test::TempTree tree;
    ContentMatcher m("needle", 100);
    const std::string early = "needle" + std::string(1, '\0') + "needle";
    EXPECT_FALSE(m.matches(tree.file("early.bin", early)));
    std::string edge(8192, 'x');
    edge[8191] = '\0';
    EXPECT_FALSE(m.matches(tree.file("edge.bin", edge + "needle")));
    EXPECT_EQ(countersOf(m), (Counters{2, 2, 0, 0}));

    std::string late(8192, 'x'); // the zero is just past the probe
    EXPECT_TRUE(m.matches(tree.file("late.bin", late + std::string(1, '\0') + "needle")));
    EXPECT_EQ(m.skippedBinary(), 2);
}

TEST(ContentMatcher, ReadsOnlyTheFirst32MiB) {
    test::TempTree tree;
    const std::int64_t size = 40 * mib;
    ContentMatcher m("needle", 100);
    EXPECT_TRUE(m.matches(sparseFile(tree, "end-at-cap", size, 32 * mib - 6, "needle")));
    EXPECT_FALSE(m.matches(sparseFile(tree, "straddles", size, 32 * mib - 3, "needle")));
    EXPECT_FALSE(m.matches(sparseFile(tree, "beyond", size, 35 * mib, "needle")));
    EXPECT_EQ(countersOf(m), (Counters{3, 0, 0, 2}));
    // A file exactly at the cap is read whole, so a miss there is not a truncated one.
    EXPECT_FALSE(m.matches(sparseFile(tree, "at-cap", 32 * mib, 100, "other")));
    EXPECT_EQ(m.truncatedMiss(), 2);
}

TEST(ContentMatcher, FilesThatCannotBeOpenedOrMappedCountAsUnreadable) {
    test::TempTree tree;
    ContentMatcher m("needle", 100);
    const std::string vanished = tree.file("vanished.txt", "needle");
    tree.remove("vanished.txt");
    EXPECT_FALSE(m.matches(vanished));
    // A file replaced by a folder between the scan and the content test.
    EXPECT_FALSE(m.matches(tree.dir("was-a-file.txt")));
    EXPECT_EQ(countersOf(m), (Counters{2, 0, 2, 0}));
}

// Root reads any file whatever its mode, so the check runs in a child that has given up
// root; without root the file's mode alone denies the read. A readable neighbour proves
// that the folder itself is reachable.
TEST(ContentMatcher, AFileWithoutReadPermissionCountsAsUnreadable) {
    test::TempTree tree;
    tree.chmod("", 0755);
    const std::string readable = tree.file("open.txt", "needle");
    tree.chmod("open.txt", 0644);
    const std::string secret = tree.file("secret.txt", "needle");
    tree.chmod("secret.txt", 0000);
    auto check = [&] {
        ContentMatcher m("needle", 100);
        return m.matches(readable) && !m.matches(secret) && countersOf(m) == Counters{2, 0, 1, 0};
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(check());
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(!dropped ? 2 : check() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "could not drop root privileges to test denial";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ContentMatcher, StopsExaminingAtTheLimitWithoutTouchingFiles) {
    test::TempTree tree;
    const std::string hit = tree.file("hit.txt", "needle");
    ContentMatcher m("needle", 2);
    EXPECT_TRUE(m.matches(hit));
    EXPECT_FALSE(m.hitLimit());
    EXPECT_FALSE(m.matches(tree.path("missing")));
    EXPECT_TRUE(m.hitLimit());
    EXPECT_FALSE(m.matches(hit));                  // would match, but is not examined
    EXPECT_FALSE(m.matches(tree.path("missing"))); // not opened, so not unreadable
    EXPECT_EQ(countersOf(m), (Counters{2, 0, 1, 0}));
    EXPECT_TRUE(ContentMatcher("x", 0).hitLimit());
}

TEST(ContentMatcher, ConcurrentCallersNeverExamineMoreThanTheLimit) {
    test::TempTree tree;
    const std::string hit = tree.file("hit.txt", "needle");
    const std::string binary = tree.file("b.bin", std::string("needle\0", 7));
    constexpr int threads = 4, callsEach = 200, limit = 500;
    ContentMatcher m("needle", limit);
    std::atomic<int> matched{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < callsEach; ++i)
                matched += m.matches((i + t) % 2 ? hit : binary);
        });
    std::int64_t seen = 0; // the status line reads while the search runs
    while (seen < limit)
        seen = std::max(seen, m.examined());
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(m.examined(), limit);
    EXPECT_EQ(matched + m.skippedBinary(), limit);
    EXPECT_TRUE(m.hitLimit());
}

} // namespace
} // namespace vesko
