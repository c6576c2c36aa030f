// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/ContentMatcher.h"

#include "support/ChildProcess.h"
#include "support/TempTree.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace vesko {
namespace {

constexpr std::int64_t mib = 1024 * 1024;

// Examined, skipped as binary, unreadable, missed past the read cap.
using Counters = std::array<std::int64_t, 4>;

Counters countersOf(const ContentMatcher& m) {
    return {m.examined(), m.skippedBinary(), m.unreadable(), m.truncatedMiss()};
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

TEST(ContentMatcher, ContainsFoldsOnlyAsciiLettersOfTheData) {
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"Hello", "say HELLO there", true},
        {"hello", "hhhhello", true},        // a partial match before the real one
        {"@", "`", false},                  // neighbours of A-Z do not fold
        {"\xC3\xA9", "caf\xC3\x89", false}, // É in the file is not é
        {"\xC3\x89", "caf\xC3\xA9", true},  // the query itself is lowercased
        {"E\xCC\x81", "caf\xC3\xA9", true}, // ...and composed
        {" ", "a b", true},                 // a space is a needle, not nothing
        {"Stra\xC3\x9F"
         "e",
         "an der stra\xC3\x9F"
         "e",
         true},                                          // ß stays ß, not ss
        {"\xCE\x9F\xCE\xA3", "\xCE\xBF\xCF\x82 ", true}, // ΟΣ finds final ος
        {"", "anything", false},
    };
    for (const auto& [query, data, expected] : cases)
        EXPECT_EQ(containsText(ContentMatcher(query, 1), data), expected)
            << query << " in " << data;
}

std::string withZeroAt(std::size_t at, const std::string& after) {
    std::string text(std::max<std::size_t>(at + 1, 8), 'x');
    text[at] = '\0';
    return text + after;
}

// One fresh matcher per file: whether it matches "needle" and what it adds to each counter.
struct FileCase {
    const char* what;
    std::function<std::string(test::TempTree&, const std::string& name)> make;
    bool matches;
    Counters counters;
};

std::function<std::string(test::TempTree&, const std::string&)> text(std::string content) {
    return [=](test::TempTree& t, const std::string& name) { return t.file(name, content); };
}
std::function<std::string(test::TempTree&, const std::string&)>
sparse(std::int64_t size, std::int64_t offset, std::string content) {
    return [=](test::TempTree& t, const std::string& name) {
        return sparseFile(t, name, size, offset, content);
    };
}

const FileCase fileCases[] = {
    {"text", text("hay\nNEEDLE\nhay"), true, {1, 0, 0, 0}},
    {"shorter than the needle", text("need"), false, {1, 0, 0, 0}},
    {"zero byte early", text("needle" + withZeroAt(0, "needle")), false, {1, 1, 0, 0}},
    {"zero byte at the last probed byte", text(withZeroAt(8191, "needle")), false, {1, 1, 0, 0}},
    {"zero byte just past the probe", text(withZeroAt(8192, "needle")), true, {1, 0, 0, 0}},
    {"needle ending at the 32 MiB cap",
     sparse(40 * mib, 32 * mib - 6, "needle"),
     true,
     {1, 0, 0, 0}},
    {"needle straddling the cap", sparse(40 * mib, 32 * mib - 3, "needle"), false, {1, 0, 0, 1}},
    {"needle beyond the cap", sparse(40 * mib, 35 * mib, "needle"), false, {1, 0, 0, 1}},
    {"a file exactly at the cap is read whole",
     sparse(32 * mib, 100, "other"),
     false,
     {1, 0, 0, 0}},
    {"vanished since the scan",
     [](test::TempTree& t, const std::string& name) {
         const std::string path = t.file(name, "needle");
         t.remove(name);
         return path;
     },
     false,
     {1, 0, 1, 0}},
    {"replaced by a folder",
     [](test::TempTree& t, const std::string& name) { return t.dir(name); },
     false,
     {1, 0, 1, 0}},
};

TEST(ContentMatcher, EachFileMatchesAndCountsOnce) {
    test::TempTree tree;
    int made = 0;
    for (const FileCase& file : fileCases) {
        ContentMatcher m("needle", 100);
        const std::string path = file.make(tree, "file" + std::to_string(made++));
        EXPECT_EQ(m.matches(path), file.matches) << file.what;
        EXPECT_EQ(countersOf(m), file.counters) << file.what;
    }
    EXPECT_FALSE(ContentMatcher("", 100).matches(tree.file("text", "anything")));
}

// Root reads any file whatever its mode, so the check runs as another user. A readable
// neighbour proves that the folder itself is reachable.
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
    const int status = test::runUnprivileged([&] { return check() ? 0 : 1; });
    if (status == test::cannotSetUpChild) GTEST_SKIP() << "could not give up root to test denial";
    EXPECT_EQ(status, 0);
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
