// SPDX-License-Identifier: MIT
#include "app/FindMode.h"

#include "support/TempTree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace vesko {
namespace {

// ---- Option parsing -----------------------------------------------------------------

Arguments args(std::initializer_list<const char*> rest) {
    Arguments a{"vesko", "--find"};
    a.insert(a.end(), rest.begin(), rest.end());
    return a;
}

FindMode::Options optionsFor(std::string query) {
    FindMode::Options options;
    options.query = std::move(query);
    return options;
}

TEST(FindModeParse, OptionsAnywhereAroundTheQuery) {
    using Field = ResultSort::Field;
    struct Case {
        Arguments arguments;
        FindMode::Options expected;
    };
    std::vector<Case> cases;
    cases.push_back({args({"swift"}), optionsFor("swift")});
    auto counted = optionsFor("x");
    counted.root = "/tmp/t";
    counted.countOnly = true;
    cases.push_back({args({"--root", "/tmp/t", "--count", "x"}), counted});
    auto sized = optionsFor("a b");
    sized.sort = {Field::size, false}; // a size sort starts with the largest
    sized.limit = 0;
    cases.push_back({args({"a b", "--sort", "size", "--limit", "0"}), sized});
    auto named = optionsFor("q");
    named.sort = {Field::name, false};
    named.useRegex = named.matchPath = named.matchCase = named.print0 = true;
    cases.push_back({args({"--descending", "--regex", "--path", "--case", "--print0", "--sort",
                           "name", "--ascending", "--descending", "q"}),
                     named});
    cases.push_back({{"vesko", "--find", "--", "--count"}, optionsFor("--count")});
    cases.push_back({args({"-x"}), optionsFor("-x")}); // one dash is no option
    auto help = optionsFor("");
    help.help = true;
    cases.push_back({args({"--help"}), help});
    for (const auto& c : cases) {
        const auto parsed = FindMode::parse(c.arguments);
        ASSERT_TRUE(parsed.options) << c.arguments[2] << ": " << parsed.problem;
        EXPECT_EQ(*parsed.options, c.expected) << c.arguments[2];
    }
}

TEST(FindModeParse, ProblemsNameWhatIsWrong) {
    struct Case {
        Arguments arguments;
        const char* problem;
    };
    const Case cases[] = {
        {args({}), "no query"},
        {args({"--count"}), "no query"},
        {args({"a", "b"}), "more than one query"},
        {args({"x", "--limit"}), "--limit needs a number"},
        {args({"x", "--limit", "-1"}), "0 or more"},
        {args({"x", "--limit", "12k"}), "not \"12k\""},
        {args({"x", "--limit", "99999999999999999999"}), "0 or more"},
        {args({"x", "--sort", "date"}), "unknown sort field \"date\"; use one of relevance, none"},
        {args({"x", "--root"}), "--root needs a folder"},
        {args({"x", "--verbose"}), "unknown option --verbose"},
    };
    for (const auto& c : cases) {
        const auto parsed = FindMode::parse(c.arguments);
        EXPECT_FALSE(parsed.options) << c.problem;
        EXPECT_NE(parsed.problem.find(c.problem), std::string::npos) << parsed.problem;
    }
}

// ---- The real executable ------------------------------------------------------------

struct Finished {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readAll(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1)
        parts.push_back(text.substr(from, at - from));
    EXPECT_EQ(from, text.size()) << "the output does not end with a separator";
    return parts;
}

// Runs vesko with its caches and preferences in `home`, so no test touches the user's
// index. Standard error goes to a file so neither pipe can fill while the other is read.
class FindModeRun : public ::testing::Test {
protected:
    Finished vesko(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {VESKO_EXECUTABLE, "--find"});
        const std::string errPath = home.path("stderr.txt");
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(err, 2);
            ::setenv("XDG_CACHE_HOME", home.path("cache").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", home.path("config").c_str(), 1);
            std::vector<char*> argv;
            for (auto& a : arguments)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        Finished run;
        run.out = readAll(out[0]);
        ::close(out[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        const int err = ::open(errPath.c_str(), O_RDONLY);
        run.err = readAll(err);
        ::close(err);
        return run;
    }

    // Absolute paths of every entry below the tree whose last component contains `needle`
    // in ASCII case-insensitive comparison: what `find ROOT -iname '*needle*'` lists.
    std::set<std::string> listing(const std::string& needle) const {
        auto lower = [](std::string text) {
            for (char& c : text)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return text;
        };
        std::set<std::string> paths;
        for (const auto& relative : tree.listAll()) {
            const std::string name = relative.substr(relative.rfind('/') + 1);
            if (lower(name).find(lower(needle)) != std::string::npos)
                paths.insert(tree.root() + "/" + relative);
        }
        return paths;
    }

    std::vector<std::string> lines(const Finished& run) const { return split(run.out, '\n'); }
    std::set<std::string> lineSet(const Finished& run) const {
        const auto all = lines(run);
        return {all.begin(), all.end()};
    }

    test::TempTree home;
    test::TempTree tree;
};

TEST_F(FindModeRun, PrintsWhatFindListsAndReusesTheSavedIndex) {
    tree.addTrickyTree();
    for (int i = 0; i < 30; ++i)
        tree.file("many/Report " + std::to_string(i) + ".txt");
    const Finished first = vesko({"--root", tree.root(), "--limit", "0", "readme"});
    EXPECT_EQ(first.status, FindMode::statusHits);
    EXPECT_EQ(lineSet(first), listing("readme"));
    EXPECT_NE(first.err.find("scanning"), std::string::npos) << first.err;
    EXPECT_NE(first.err.find(home.path("cache/vesko/index-")), std::string::npos) << first.err;

    // Not "e": the decomposed "café" holds the byte 'e' that find matches, while Vesko
    // compares composed forms, in which é is one letter.
    for (const char* query : {"report", "a", "level1", "txt"}) {
        const Finished run = vesko({"--root", tree.root() + "/", "--limit", "0", query});
        EXPECT_EQ(lineSet(run), listing(query)) << query;
        EXPECT_EQ(run.err, "") << "the archive was not reused: " << run.err;
    }
    const Finished limited = vesko({"--root", tree.root(), "report"});
    EXPECT_EQ(lines(limited).size(), 30u);
    const Finished first10 = vesko({"--root", tree.root(), "--limit", "10", "report"});
    EXPECT_EQ(lines(first10).size(), 10u);
}

TEST_F(FindModeRun, FindsComposedAndDecomposedNamesAndPrintsBytesAsStored) {
    tree.addTrickyTree();
    const Finished cafe = vesko({"--root", tree.root(), "--print0", "CAFÉ"});
    EXPECT_EQ(cafe.status, FindMode::statusHits);
    const auto found = split(cafe.out, '\0');
    EXPECT_EQ(std::set<std::string>(found.begin(), found.end()),
              (std::set<std::string>{tree.path("cafe\xCC\x81"), tree.path("caf\xC3\xA9")}));

    const Finished all = vesko({"--root", tree.root(), "--print0", "--limit", "0", "a"});
    const auto paths = split(all.out, '\0');
    EXPECT_TRUE(std::count(paths.begin(), paths.end(), tree.path("bad\xFF\xFEname.bin")));
    for (const auto& path : paths) {
        struct stat status {};
        EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    }
}

TEST_F(FindModeRun, CountAndExitStatus) {
    tree.addTrickyTree();
    const Finished count = vesko({"--root", tree.root(), "--count", "txt"});
    EXPECT_EQ(count.status, FindMode::statusHits);
    EXPECT_EQ(count.out, std::to_string(listing("txt").size()) + "\n");

    const Finished none = vesko({"--root", tree.root(), "--count", "no-such-name"});
    EXPECT_EQ(none.status, FindMode::statusNoHits);
    EXPECT_EQ(none.out, "0\n");
    EXPECT_EQ(vesko({"--root", tree.root(), "zzz"}).out, "");

    const Finished regex = vesko({"--root", tree.root(), "--regex", "^read(me"});
    EXPECT_EQ(regex.status, FindMode::statusTrouble);
    EXPECT_EQ(regex.out, "");
    EXPECT_NE(regex.err.find("invalid regular expression"), std::string::npos) << regex.err;

    const Finished usage = vesko({"--root", tree.root(), "--sort", "colour", "x"});
    EXPECT_EQ(usage.status, FindMode::statusTrouble);
    EXPECT_NE(usage.err.find("unknown sort field"), std::string::npos) << usage.err;
    const Finished missing = vesko({"--root", tree.path("absent"), "x"});
    EXPECT_EQ(missing.status, FindMode::statusTrouble);
    EXPECT_NE(missing.err.find("absent"), std::string::npos) << missing.err;
}

TEST_F(FindModeRun, SortsAndMatchesAsAsked) {
    for (const char* name : {"b-note.txt", "a-note.md", "c-note.pdf", "sub/d-note.txt"})
        tree.file(name);
    const Finished byName = vesko({"--root", tree.root(), "--sort", "name", "note"});
    EXPECT_EQ(lines(byName),
              (std::vector<std::string>{tree.path("a-note.md"), tree.path("b-note.txt"),
                                        tree.path("c-note.pdf"), tree.path("sub/d-note.txt")}));
    const Finished reversed =
        vesko({"--root", tree.root(), "--sort", "name", "--descending", "--limit", "1", "note"});
    EXPECT_EQ(lines(reversed), std::vector<std::string>{tree.path("sub/d-note.txt")});
    // Kinds come from the MIME database; whatever it names, every hit is printed once.
    const Finished byKind = vesko({"--root", tree.root(), "--sort", "kind", "note"});
    EXPECT_EQ(lineSet(byKind), listing("note"));

    const Finished underSub = vesko({"--root", tree.root(), "--path", "sub", "--limit", "0"});
    EXPECT_EQ(lineSet(underSub),
              (std::set<std::string>{tree.path("sub"), tree.path("sub/d-note.txt")}));
    const Finished regex = vesko({"--root", tree.root(), "--regex", "^[ab]-note\\."});
    EXPECT_EQ(lineSet(regex),
              (std::set<std::string>{tree.path("a-note.md"), tree.path("b-note.txt")}));
}

} // namespace
} // namespace vesko
