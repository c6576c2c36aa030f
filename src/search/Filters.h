// SPDX-License-Identifier: GPL-3.0-or-later
// The sidebar's filter record: kind, extensions, visibility, matching switches, content
// query, size bounds and date range, with its persisted form.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vesko {

struct Filters {
    enum class Kind { all, filesOnly, foldersOnly };
    // today and the this* ranges start at a local calendar boundary (midnight, Monday, the
    // first of the month, 1 January); the last* ranges are rolling spans ending now.
    enum class DateRange {
        any,
        today,
        lastWeek,
        lastMonth,
        lastYear,
        thisWeek,
        thisMonth,
        thisYear
    };
    // Files of one family of types, told apart by extension; folders never belong to one.
    enum class Family { any, documents, images, audio, video, archives, code };
    enum class DateField { modified, created, accessed };
    enum class SizeUnit { kb, mb, gb };

    Kind kind = Kind::all;
    Family family = Family::any;
    std::string extensions; // as typed, e.g. ".PDF, jpg docx"
    bool showInvisible = true;
    bool showPackageContents = true;
    bool matchPath = false;
    bool useRegex = false;
    bool matchCase = false;
    bool matchDiacritics = false; // off: "resume" finds "résumé"
    std::string contentQuery;
    double minimumSize = 0; // in minimumSizeUnit; 0 or less means no bound
    SizeUnit minimumSizeUnit = SizeUnit::mb;
    double maximumSize = 0; // in maximumSizeUnit; 0 or less means no bound
    SizeUnit maximumSizeUnit = SizeUnit::mb;
    DateRange modified = DateRange::any;
    DateField dateField = DateField::modified;

    // A family holds only files and "only folders" holds none of them, so choosing one
    // lets go of the other rather than leaving a filter that can admit nothing.
    void chooseKind(Kind value) {
        kind = value;
        if (kind == Kind::foldersOnly) family = Family::any;
    }
    void chooseFamily(Family value) {
        family = value;
        if (family != Family::any && kind == Kind::foldersOnly) kind = Kind::all;
    }

    bool operator==(const Filters&) const = default;
    bool isEmpty() const { return *this == Filters(); }

    // How many settings differ from the defaults in a way that can hide results
    // (`dateField` alone never does).
    int activeCount() const;
    // `extensions` lowercased and split at commas, spaces and full stops, empty pieces
    // dropped, order kept: "tar.gz" gives "tar" and "gz".
    std::vector<std::string> parsedExtensions() const;
    // The bounds in bytes; 0 for no bound. A bound beyond 64 bits clamps to the largest value.
    std::uint64_t minimumBytes() const { return boundBytes(minimumSize, minimumSizeUnit); }
    std::uint64_t maximumBytes() const { return boundBytes(maximumSize, maximumSizeUnit); }
    // The oldest admitted date in the index's encoding, or nothing for `any`. Calendar
    // ranges are measured in the process's local time zone; a week begins on `firstWeekday`
    // (0 Sunday to 6 Saturday, as struct tm counts), which differs between locales.
    std::optional<std::uint32_t> modifiedAfter(std::chrono::system_clock::time_point now,
                                               int firstWeekday) const;

    // The first day of the week in the environment's LC_TIME locale, 0 Sunday to 6
    // Saturday; Monday where the locale does not say.
    static int localeFirstWeekday();

    static std::uint64_t boundBytes(double size, SizeUnit unit);
    // The length of a rolling range; 0 for `any` and the calendar ranges.
    static std::int64_t spanSeconds(DateRange range);
    static std::uint64_t bytesPerUnit(SizeUnit unit);
    // English key of the date column's label ("Modified", "Created", "Last Opened").
    static std::string_view label(DateField field);

    // Raw texts of the enumerations, in declaration order; also the lists of all cases.
    static constexpr std::array<std::pair<Kind, std::string_view>, 3> kindTexts{
        {{Kind::all, "all"}, {Kind::filesOnly, "filesOnly"}, {Kind::foldersOnly, "foldersOnly"}}};
    static constexpr std::array<std::pair<DateRange, std::string_view>, 8> dateRangeTexts{
        {{DateRange::any, "any"},
         {DateRange::today, "today"},
         {DateRange::thisWeek, "thisWeek"},
         {DateRange::thisMonth, "thisMonth"},
         {DateRange::thisYear, "thisYear"},
         {DateRange::lastWeek, "lastWeek"},
         {DateRange::lastMonth, "lastMonth"},
         {DateRange::lastYear, "lastYear"}}};
    static constexpr std::array<std::pair<Family, std::string_view>, 7> familyTexts{
        {{Family::any, "any"},
         {Family::documents, "documents"},
         {Family::images, "images"},
         {Family::audio, "audio"},
         {Family::video, "video"},
         {Family::archives, "archives"},
         {Family::code, "code"}}};
    static constexpr std::array<std::pair<DateField, std::string_view>, 3> dateFieldTexts{
        {{DateField::modified, "modified"},
         {DateField::created, "created"},
         {DateField::accessed, "accessed"}}};
    static constexpr std::array<std::pair<SizeUnit, std::string_view>, 3> sizeUnitTexts{
        {{SizeUnit::kb, "kb"}, {SizeUnit::mb, "mb"}, {SizeUnit::gb, "gb"}}};

    static std::string_view rawText(Kind value);
    static std::string_view rawText(DateRange value);
    static std::string_view rawText(Family value);
    static std::string_view rawText(DateField value);
    static std::string_view rawText(SizeUnit value);

    // The persisted form: one value per key ("kind", "extensions", ..., "dateField", and
    // "matchDiacritics" and "family", which records saved before them lack), enumerations as raw
    // texts, switches as bools, sizes as doubles. The three value types are those a settings
    // store and JSON both hold natively (QVariant, QJsonValue).
    using Value = std::variant<bool, double, std::string>;
    using Record = std::map<std::string, Value, std::less<>>;
    static constexpr std::array<std::string_view, 14> recordKeys{
        "kind",        "extensions",      "showInvisible", "showPackageContents",
        "matchPath",   "useRegex",        "matchCase",     "contentQuery",
        "minimumSize", "minimumSizeUnit", "maximumSize",   "maximumSizeUnit",
        "modified",    "dateField"};

    struct Decoded;

    Record encode() const;
    // Every key of recordKeys is required and every enumeration text must be known, or
    // nothing is decoded. A switch may also arrive as the text "true"/"false" and a size as
    // a decimal text, since an INI-backed settings file gives every value back as text.
    // Unknown keys are ignored; a size that is not a number (NaN) is rejected.
    static Decoded decode(const Record& record);
};

// The outcome of `Filters::decode`.
struct Filters::Decoded {
    std::optional<Filters> filters; // nothing when the record as a whole is rejected
    std::string problem;            // why it was rejected, naming the key
};

} // namespace vesko
