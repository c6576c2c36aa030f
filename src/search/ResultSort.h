// SPDX-License-Identifier: GPL-3.0-or-later
// The order results are shown in: a field and a direction, the column-click cycle that
// changes it, and its persisted form, a two-key JSON object kept in the preferences.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vesko {

struct ResultSort {
    enum class Field { relevance, none, name, path, kind, size, modified, created, accessed };

    Field field = Field::relevance;
    bool ascending = true; // ignored by `relevance` and `none`

    bool operator==(const ResultSort&) const = default;

    // False only for `none`, whose results stay in index order.
    bool isSorted() const { return field != Field::none; }
    // True for the fields that a result-list column shows.
    bool isColumnSorted() const { return field != Field::relevance && field != Field::none; }

    // The direction a column click first picks: ascending for texts, descending for sizes
    // and dates, so the largest and newest come first.
    static bool defaultAscending(Field field);

    // Raw texts, in declaration order; also the list of all fields.
    static constexpr std::array<std::pair<Field, std::string_view>, 9> fieldTexts{
        {{Field::relevance, "relevance"},
         {Field::none, "none"},
         {Field::name, "name"},
         {Field::path, "path"},
         {Field::kind, "kind"},
         {Field::size, "size"},
         {Field::modified, "modified"},
         {Field::created, "created"},
         {Field::accessed, "accessed"}}};

    static std::string_view rawText(Field field);
    static std::optional<Field> fieldNamed(std::string_view raw);

    // The persisted form: {"field":"<raw text>","ascending":<bool>}.
    std::string toJson() const;
    // Both keys are required, "field" must be a known raw text and "ascending" a JSON
    // boolean; anything else (including malformed JSON) decodes to nothing. Other keys are
    // ignored; a repeated key keeps its last value.
    static std::optional<ResultSort> fromJson(std::string_view json);
    // What a stored value means at start: the decoded sort, or relevance ascending when the
    // value is missing or does not decode.
    static ResultSort fromStored(std::optional<std::string_view> json);
};

// A click on the column of `clicked`: another field starts in its default direction; the
// current field in its default direction flips; the current field already flipped returns
// to relevance. A click on `relevance` or `none` (not columns) simply selects it.
ResultSort toggleSort(ResultSort current, ResultSort::Field clicked);

} // namespace vesko
