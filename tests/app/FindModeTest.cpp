// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FindMode.h"

#include "store/TerminalText.h"

#include "support/DeepChain.h"
#include "support/VeskoHome.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <functional>
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

// The options of a query with the given changes.
FindMode::Options optionsFor(std::string query,
                             const std::function<void(FindMode::Options&)>& change = {}) {
    FindMode::Options options;
    options.query = std::move(query);
    if (change) change(options);
    return options;
}

TEST(FindModeParse, OptionsAnywhereAroundTheQuery) {
    using Field = ResultSort::Field;
    const std::pair<Arguments, FindMode::Options> cases[] = {
        // A size sort starts with the largest.
        {args({"a b", "--sort", "size", "--limit", "0"}),
         optionsFor("a b",
                    [](auto& o) {
                        o.sort = {Field::size, false}, o.limit = 0;
                    })},
        {args({"--descending", "--regex", "--path", "--case", "--print0", "--sort", "name",
               "--ascending", "--match-diacritics", "--descending", "q"}),
         optionsFor("q",
                    [](auto& o) {
                        o.sort = {Field::name, false};
                        o.useRegex = o.matchPath = o.matchCase = o.print0 = true;
                        o.matchDiacritics = true;
                    })},
        {args({"-x"}), optionsFor("-x")}, // one dash is no option
        {args({"--help"}), optionsFor("", [](auto& o) { o.help = true; })},
    };
    for (const auto& [arguments, expected] : cases) {
        const auto parsed = FindMode::parse(arguments);
        ASSERT_TRUE(parsed.options) << arguments[2] << ": " << parsed.problem;
        EXPECT_EQ(*parsed.options, expected) << arguments[2];
    }
}

// ---- The real executable ------------------------------------------------------------

std::vector<std::string> split(const std::string& text, char separator) {
    EXPECT_TRUE(text.empty() || text.back() == separator)
        << "the output does not end with a separator";
    return test::splitLines(text, separator);
}

// Runs `vesko --find ...` with its caches and preferences in a private home.
class FindModeRun : public ::testing::Test {
protected:
    test::Finished vesko(std::vector<std::string> arguments, bool onTerminal = false) {
        arguments.insert(arguments.begin(), "--find");
        test::Launch launch = home.launch(std::move(arguments));
        launch.outputToTerminal = onTerminal;
        return test::run(launch);
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

    std::vector<std::string> lines(const test::Finished& run) const { return split(run.out, '\n'); }
    std::set<std::string> lineSet(const test::Finished& run) const {
        const auto all = lines(run);
        return {all.begin(), all.end()};
    }

    test::VeskoHome home;
    test::TempTree tree;
};

TEST_F(FindModeRun, PrintsWhatFindListsAndReusesTheSavedIndex) {
    tree.addTrickyTree();
    for (int i = 0; i < 30; ++i)
        tree.file("many/Report " + std::to_string(i) + ".txt");
    tree.file("manyx/Report x.txt");
    const test::Finished first = vesko({"--root", tree.root(), "--limit", "0", "readme"});
    EXPECT_EQ(first.status, FindMode::statusHits);
    EXPECT_EQ(lineSet(first), listing("readme"));
    EXPECT_NE(first.err.find("scanning"), std::string::npos) << first.err;
    EXPECT_NE(first.err.find(home.home.path("cache/vesko/index-")), std::string::npos) << first.err;

    // Not "e": the decomposed "café" holds the byte 'e' that find matches, while Vesko
    // compares composed forms, in which é is one letter.
    for (const char* query : {"report", "a", "level1", "txt"}) {
        const test::Finished run = vesko({"--root", tree.root() + "/", "--limit", "0", query});
        EXPECT_EQ(lineSet(run), listing(query)) << query;
        EXPECT_EQ(run.err, "") << "the archive was not reused: " << run.err;
    }
    // --in keeps to one folder's subtree, as `find DIR -mindepth 1 -iname` does.
    std::set<std::string> inMany;
    for (const std::string& path : listing("report"))
        if (path.starts_with(tree.path("many/"))) inMany.insert(path);
    EXPECT_EQ(inMany.size(), 30u);
    EXPECT_EQ(lineSet(vesko(
                  {"--root", tree.root(), "--in", tree.path("many"), "--limit", "0", "report"})),
              inMany);
    const test::Finished limited = vesko({"--root", tree.root(), "report"});
    EXPECT_EQ(lines(limited).size(), 31u);
    const test::Finished first10 = vesko({"--root", tree.root(), "--limit", "10", "report"});
    EXPECT_EQ(lines(first10).size(), 10u);
}

TEST_F(FindModeRun, CountExitStatusAndWhatStandardErrorSays) {
    tree.addTrickyTree();
    tree.file("plain !.txt");
    const test::Finished count = vesko({"--root", tree.root(), "--count", "txt"});
    EXPECT_EQ(count.status, FindMode::statusHits);
    EXPECT_EQ(count.out, std::to_string(listing("txt").size()) + "\n");

    const test::Finished none = vesko({"--root", tree.root(), "--count", "no-such-name"});
    EXPECT_EQ(none.status, FindMode::statusNoHits);
    EXPECT_EQ(none.out, "0\n");
    EXPECT_EQ(vesko({"--root", tree.root(), "zzz"}).out, "");

    struct Case {
        std::vector<std::string> arguments; // after --find
        int status;
        const char* message;
    };
    const int trouble = FindMode::statusTrouble;
    const Case cases[] = {
        {{}, trouble, "no query given"},
        {{"a", "b"}, trouble, "more than one query"},
        {{"x", "--limit"}, trouble, "--limit needs a number"},
        {{"x", "--limit", "12k"}, trouble, "not \"12k\""},
        {{"x", "--limit", "99999999999999999999"}, trouble, "0 or more"},
        {{"x", "--sort", "date"}, trouble, "unknown sort field \"date\""},
        {{"x", "--verbose"}, trouble, "unknown option --verbose"},
        {{"--root", tree.root(), "--regex", "^read(me"}, trouble, "invalid regular expression"},
        {{"--root", tree.path("absent"), "x"}, trouble, "absent"},
        {{"--root", tree.file("plain.txt"), "x"}, trouble, "is not a folder"},
        // No expression: searched as literal text, and said so (a long query is not repeated).
        {{"--root", tree.root(), "plain !"}, FindMode::statusHits, "not a valid expression"},
        {{"--root", tree.root(), std::string(300, '<') + "q"},
         FindMode::statusNoHits,
         "the query is not a valid expression"},
    };
    for (const Case& c : cases) {
        const test::Finished run = vesko(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.message;
        if (c.status == trouble) {
            EXPECT_EQ(run.out, "") << c.message;
        }
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

TEST_F(FindModeRun, ExistingLeavesOutWhatIsGoneSinceTheIndexWasSaved) {
    // More gone hits ahead of the kept ones than one round of the search asks for.
    constexpr int goneCount = 300;
    for (int i = 0; i < goneCount; ++i)
        tree.file("gone-" + std::to_string(1000 + i) + ".log");
    tree.file("keep-1.log");
    tree.file("keep-2.log");
    // Past PATH_MAX, where lstat would say ENAMETOOLONG.
    const test::DeepChain chain(tree.root(), std::string(250, 'd'), 20);
    const std::string deep = chain.file("keep-deep.log");
    ASSERT_EQ(vesko({"--root", tree.root(), "--count", "log"}).out, "303\n");
    for (int i = 0; i < goneCount; ++i)
        tree.remove("gone-" + std::to_string(1000 + i) + ".log");

    EXPECT_EQ(vesko({"--root", tree.root(), "--count", "log"}).out, "303\n"); // the saved index
    EXPECT_EQ(vesko({"--root", tree.root(), "--count", "--existing", "log"}).out, "3\n");
    EXPECT_EQ(vesko({"--root", tree.root(), "--existing", "deep"}).out, deep + "\n");
    // The limit counts printed paths, so the gone ones do not use it up.
    const test::Finished sorted =
        vesko({"--root", tree.root(), "--existing", "--sort", "name", "--limit", "2", "log"});
    EXPECT_EQ(lines(sorted),
              (std::vector<std::string>{tree.path("keep-1.log"), tree.path("keep-2.log")}));
    const test::Finished gone = vesko({"--root", tree.root(), "--existing", "gone"});
    EXPECT_EQ(gone.out, "");
    EXPECT_EQ(gone.status, FindMode::statusNoHits);
}

// The root is the link as the user gave it, so the paths printed are under the link, and
// they open; links below the root stay unfollowed.
TEST_F(FindModeRun, AHomeFolderThatIsALinkIsIndexedThroughIt) {
    tree.file("real/findme-here.txt");
    tree.symlink(tree.path("real"), "real/findme-loop");
    const std::string link = tree.symlink(tree.path("real"), "home-link");
    home.userHome = link;
    const test::Finished run = vesko({"findme"});
    EXPECT_EQ(lineSet(run),
              (std::set<std::string>{link + "/findme-here.txt", link + "/findme-loop"}))
        << run.err;

    home.userHome = tree.path("no-such-home");
    const test::Finished missing = vesko({"findme"});
    EXPECT_NE(missing.err.find("cannot read " + tree.path("no-such-home") +
                               ": No such file or directory"),
              std::string::npos)
        << missing.err;
}

TEST_F(FindModeRun, TerminalShowsControlCharactersEscapedWhilePipesKeepTheBytes) {
    const std::vector<std::string> names{"nm\033]0;pwned\007", "nm\xFF\xFE", "nm한글",
                                         "nm\u202Etxt.exe"};
    std::set<std::string> stored;
    for (const std::string& name : names)
        stored.insert(tree.file(name));

    const test::Finished piped = vesko({"--root", tree.root(), "--limit", "0", "--print0", "nm"});
    const auto raw = split(piped.out, '\0');
    EXPECT_EQ(std::set<std::string>(raw.begin(), raw.end()), stored);

    // The quoting itself is TerminalText's table below; here, that a terminal gets it.
    const test::Finished shown = vesko({"--root", tree.root(), "--limit", "0", "nm"}, true);
    const std::string root = tree.root();
    const std::set<std::string> expected{"$'" + root + "/nm\\e]0;pwned\\x07'",
                                         "$'" + root + "/nm\\xFF\\xFE'", root + "/nm한글",
                                         "$'" + root + "/nm\\u202Etxt.exe'"};
    EXPECT_EQ(lineSet(shown), expected);
}

TEST(TerminalText, QuotesOnlyWhatATerminalWouldObey) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain/한글 é.txt", "plain/한글 é.txt"},
        {"a\tb", "$'a\\tb'"},
        {"it's\x1B[2J", "$'it\\'s\\e[2J'"},
        {"back\\slash\n", "$'back\\\\slash\\n'"},
        {"c1\xC2\x9B", "$'c1\\xC2\\x9B'"}, // U+009B, a one-byte CSI on some terminals
        {"nbsp\xC2\xA0", "nbsp\xC2\xA0"},  // U+00A0 is printable
        {"overlong\xC0\xAF", "$'overlong\\xC0\\xAF'"},
        {"surrogate\xED\xA0\x80", "$'surrogate\\xED\\xA0\\x80'"},
        {"cut\xE2\x82", "$'cut\\xE2\\x82'"},
        {"emoji\xF0\x9F\x98\x80", "emoji\xF0\x9F\x98\x80"},
        // Shown as "rtlexe.txt" unquoted; isolates and separators move or cut a line too.
        {"rtl\u202Etxt.exe", "$'rtl\\u202Etxt.exe'"},
        {"iso\u2067x\u2069 mark\u200F sep\u2028", "$'iso\\u2067x\\u2069 mark\\u200F sep\\u2028'"},
    };
    for (const auto& [path, shown] : cases)
        EXPECT_EQ(TerminalText::quoted(path), shown) << shown;
}

TEST_F(FindModeRun, SortsAndMatchesAsAsked) {
    for (const char* name : {"b-note.txt", "a-note.md", "c-note.pdf", "sub/d-note.txt"})
        tree.file(name);
    const std::string nfc = tree.file("r\xC3\xA9sum\xC3\xA9.txt"),
                      nfd = tree.file("Re\xCC\x81sume\xCC\x81.md"), plain = tree.file("resume.pdf");
    const std::set<std::string> accented{nfc, nfd}, all{nfc, nfd, plain};
    const test::Finished byName = vesko({"--root", tree.root(), "--sort", "name", "note"});
    EXPECT_EQ(lines(byName),
              (std::vector<std::string>{tree.path("a-note.md"), tree.path("b-note.txt"),
                                        tree.path("c-note.pdf"), tree.path("sub/d-note.txt")}));
    const test::Finished reversed =
        vesko({"--root", tree.root(), "--sort", "name", "--descending", "--limit", "1", "note"});
    EXPECT_EQ(lines(reversed), std::vector<std::string>{tree.path("sub/d-note.txt")});
    // Kinds come from the MIME database; whatever it names, every hit is printed once.
    const test::Finished byKind = vesko({"--root", tree.root(), "--sort", "kind", "note"});
    EXPECT_EQ(lineSet(byKind), listing("note"));

    const test::Finished underSub = vesko({"--root", tree.root(), "--path", "sub", "--limit", "0"});
    EXPECT_EQ(lineSet(underSub),
              (std::set<std::string>{tree.path("sub"), tree.path("sub/d-note.txt")}));
    const test::Finished regex = vesko({"--root", tree.root(), "--regex", "^[ab]-note\\."});
    EXPECT_EQ(lineSet(regex),
              (std::set<std::string>{tree.path("a-note.md"), tree.path("b-note.txt")}));

    // Accents are ignored unless --match-diacritics.
    EXPECT_EQ(lineSet(vesko({"--root", tree.root(), "RESUME"})), all);
    EXPECT_EQ(lineSet(vesko({"--root", tree.root(), "--match-diacritics", "r\xC3\xA9sum\xC3\xA9"})),
              accented);
}

} // namespace
} // namespace vesko
