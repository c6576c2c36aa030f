// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/NameRules.h"
#include "search/Search.h"

#include "support/MemoryIndex.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vesko::Search {
namespace {

std::vector<std::string> namesOf(const NameTable& table, const std::vector<std::uint32_t>& ids) {
    std::vector<std::string> out;
    for (const std::uint32_t id : ids)
        out.emplace_back(table.foldedBytes(id));
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(NameRulesTest, NarrowingUsesPreviousOnlyForStrictExtensions) {
    std::vector<std::string> given{"rep", "report", "prepare", "red", "pre"};
    for (int i = 0; i < 40; ++i)
        given.push_back("x" + std::to_string(i));
    NameTable names;
    for (const auto& name : given)
        names.intern(name);
    // A deliberately incomplete previous list shows which searches consulted it.
    const std::uint32_t report = names.intern("report");
    const Narrowing previous{"re", {report}};
    EXPECT_EQ(namesOf(names, matchingNames("rep", names, &previous)),
              (std::vector<std::string>{"report"}));
    EXPECT_EQ(matchingNames("re", names, &previous).size(), 5u);
    EXPECT_EQ(matchingNames("ep", names, &previous).size(), 3u);
    EXPECT_EQ(matchingNames("xre", names, &previous).size(), 0u);
    // Ids the table does not hold are dropped, not read.
    const Narrowing stale{"r", {report, 31u | (9999u << 5)}};
    EXPECT_EQ(matchingNames("re", names, &stale), std::vector<std::uint32_t>{report});
}

// What each query becomes; which paths a path query admits is PathModeTest's matter.
struct ChoiceCase {
    const char* query;
    bool matchPath, useRegex;
    const char* rule; // "none", "substring:<needle>", "expression", "regex"
    std::vector<std::string> highlight;
    bool narrowable;
};

std::string describeRule(const RuleChoice& c) {
    if (!c.rule) return "none";
    switch (c.rule->kind()) {
    case NameRule::Kind::substring:
        return "substring:" + c.rule->needle();
    case NameRule::Kind::expression:
        return "expression";
    case NameRule::Kind::regex:
        return "regex";
    }
    return {};
}

TEST(NameRulesTest, ChoosesTheRule) {
    const ChoiceCase cases[] = {
        {"Report", false, false, "substring:report", {"report"}, true},
        {"", false, false, "none", {}, true},
        {"foo bar", false, false, "expression", {"foo", "bar"}, true},
        {"a | b", false, false, "expression", {"a", "b"}, false},
        {"a !b", false, false, "expression", {"a"}, false},
        {"docs/read", false, false, "substring:read", {"read"}, true},
        {"a/b/", false, false, "substring:b", {"b"}, true},
        {"a b/c", true, false, "expression", {"a", "b/c"}, true},
        {"^A.*", true, true, "regex", {}, false},
    };
    for (const auto& c : cases) {
        const RuleChoice choice = chooseRule(c.query, c.matchPath, c.useRegex, false);
        EXPECT_EQ(describeRule(choice), c.rule) << c.query;
        EXPECT_EQ(choice.highlightTerms, c.highlight) << c.query;
        EXPECT_EQ(choice.narrowable, c.narrowable) << c.query;
        EXPECT_FALSE(choice.regexProblem) << c.query;
    }
}

TEST(NameRulesTest, ReportsQueriesNotReadAsTyped) {
    const std::string longest(QueryExpression::maxQueryBytes, 'a');
    const std::pair<std::string, QueryProblem> cases[] = {
        {"plain !", QueryProblem::notAnExpression},
        {"<q", QueryProblem::notAnExpression},
        {std::string(300, '<') + "a", QueryProblem::notAnExpression},
        {">", QueryProblem::none},
        {longest, QueryProblem::none},
        {longest + "a", QueryProblem::tooLong},
        {std::string(100000, 'a') + " b", QueryProblem::tooLong},
    };
    for (const auto& [query, problem] : cases) {
        const RuleChoice choice = chooseRule(query, false, false, false);
        EXPECT_EQ(choice.queryProblem, problem) << query.substr(0, 40);
        // Not an expression: still searched, as literal text. Too long: nothing searched.
        EXPECT_EQ(choice.rule.has_value(), problem != QueryProblem::tooLong);
        EXPECT_EQ(describe(problem).empty(), problem == QueryProblem::none);
    }
}

// A small tree under the root /home/u; directories 1 docs, 2 sub, 3 mydocs2, 4 other.
class PathModeTest : public ::testing::Test, public test::MemoryIndex {
protected:
    PathModeTest()
        : MemoryIndex("/home/u", {"docs/readme", "docs/Notes.txt", "docs/sub/deep.md",
                                  "mydocs2/readme", "other/docs.txt"}) {}

    // The full paths of the entries the search finds.
    std::vector<std::string> admitted(const char* query, bool matchPath) {
        Request request;
        request.query = query;
        request.filters.matchPath = matchPath;
        std::vector<std::string> out;
        for (const Hit& hit : run(request, index, names).hits)
            out.push_back(index.path(hit.entry, names));
        return sorted(out);
    }
};

// A separator asks for the whole needle in the path; a trailing one for what lies inside
// folders whose names end so; matching paths without one admits everything below a match;
// boolean queries ignore path matching.
TEST_F(PathModeTest, AdmitsWhatThePathQueryAsksFor) {
    using Paths = std::vector<std::string>;
    const Paths inDocs = {"/home/u/docs/Notes.txt", "/home/u/docs/readme", "/home/u/docs/sub",
                          "/home/u/docs/sub/deep.md"};
    const Paths deep = {"/home/u/docs/sub/deep.md"};
    const struct {
        const char* query;
        bool matchPath;
        Paths expected;
    } cases[] = {
        {"docs/read", false, {"/home/u/docs/readme"}},
        {"DOCS/NOTES", true, {"/home/u/docs/Notes.txt"}},
        {"u/docs", false, {"/home/u/docs"}},
        {"/", false, {}},
        {"docs/", false, inDocs},
        {"/home/u/docs/", true, inDocs},
        {"docs/sub/", false, deep},
        {"mydocs/", false, {}},
        {"docs/readme/", false, {}},
        {"//", true, {}},
        {"docs",
         true,
         {"/home/u/docs", "/home/u/docs/Notes.txt", "/home/u/docs/readme", "/home/u/docs/sub",
          "/home/u/docs/sub/deep.md", "/home/u/mydocs2", "/home/u/mydocs2/readme",
          "/home/u/other/docs.txt"}},
        {"docs", false, {"/home/u/docs", "/home/u/mydocs2", "/home/u/other/docs.txt"}},
        {"docs | sub",
         true,
         {"/home/u/docs", "/home/u/docs/sub", "/home/u/mydocs2", "/home/u/other/docs.txt"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(admitted(c.query, c.matchPath), c.expected) << c.query;
    EXPECT_EQ(admitted("home/", false).size(), 9u); // inside the root's own path
}

} // namespace
} // namespace vesko::Search
