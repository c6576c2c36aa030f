// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/ResultSort.h"

#include <gtest/gtest.h>

#include <tuple>

namespace vesko {
namespace {

using Field = ResultSort::Field;

TEST(ResultSortTest, EveryFieldAndDirectionSurvivesJson) {
    for (const auto& [field, text] : ResultSort::fieldTexts) {
        for (bool ascending : {true, false}) {
            const ResultSort sort{field, ascending};
            EXPECT_EQ(ResultSort::fromJson(sort.toJson()), sort) << sort.toJson();
        }
    }
    EXPECT_EQ((ResultSort{Field::size, false}.toJson()), R"({"field":"size","ascending":false})");
}

// Any well-formed object with both keys is read, whatever else it holds; anything else
// rejects the whole record, and a stored value that is missing or rejected means relevance.
TEST(ResultSortTest, ReadsWellFormedObjectsWithBothKeysOnly) {
    EXPECT_EQ(
        ResultSort::fromJson(
            R"( {"ascending" : true,"field":"n\u0061me","x":[1,-2.5e3,{"y":null}],"z":"\ud83d\ude00"})"),
        (ResultSort{Field::name, true}));
    EXPECT_EQ(ResultSort::fromJson(R"({"field":"path","ascending":false,"ascending":true})"),
              (ResultSort{Field::path, true})); // the last value counts
    const char* rejected[] = {R"({"field":"name"})",
                              R"({"field":"name","ascending":"true"})",
                              R"({"field":"Name","ascending":true})",
                              R"({"field":"name","ascending":true,})",
                              R"({"field":"name","ascending":true} x)",
                              R"({"field":"name","ascending":true,"s":"\ud800"})",
                              "{\"field\":\"name\",\"ascending\":true,\"s\":\"\xff\"}"};
    for (const char* text : rejected) {
        EXPECT_EQ(ResultSort::fromJson(text), std::nullopt) << text;
        EXPECT_EQ(ResultSort::fromStored(std::string_view(text)), ResultSort{}) << text;
    }
    EXPECT_EQ(ResultSort::fromStored(std::nullopt), (ResultSort{Field::relevance, true}));
    // Nesting in ignored members is followed to a fixed depth, so no input can exhaust the stack.
    auto nested = [](int depth) {
        return R"({"x":)" + std::string(depth, '[') + std::string(depth, ']') +
               R"(,"field":"name","ascending":true})";
    };
    EXPECT_EQ(ResultSort::fromJson(nested(10)), (ResultSort{Field::name, true}));
    EXPECT_EQ(ResultSort::fromJson(nested(100000)), std::nullopt);
}

// A column starts in its own default direction, flips, then gives way to relevance; a
// stored sort may already hold the flipped direction of a column not yet clicked.
TEST(ResultSortTest, ColumnClicksCycleDefaultFlippedRelevance) {
    const std::tuple<ResultSort, Field, ResultSort> clicks[] = {
        {{}, Field::size, {Field::size, false}},
        {{Field::size, false}, Field::size, {Field::size, true}},
        {{Field::size, true}, Field::size, {Field::relevance, true}},
        {{}, Field::name, {Field::name, true}},
        {{Field::name, true}, Field::name, {Field::name, false}},
        {{Field::name, false}, Field::modified, {Field::modified, false}},
        {{Field::name, false}, Field::path, {Field::path, true}},
        {{Field::kind, false}, Field::kind, {}},
    };
    for (const auto& [from, column, to] : clicks)
        EXPECT_EQ(toggleSort(from, column), to) << from.toJson() << " then " << int(column);
}

} // namespace
} // namespace vesko
