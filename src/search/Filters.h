// SPDX-License-Identifier: MIT
// The sidebar's filter record (kind, extensions, visibility, matching switches, content
// query, size bounds, date range) and `Search::Sieve`, its per-search form that turns the
// record into the entry columns' own encodings once, so the search loop compares integers.
#pragma once

#include "index/EntryFlags.h"
#include "index/FileIndex.h"
#include "index/NameTable.h"

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
    enum class DateRange { any, today, lastWeek, lastMonth, lastYear };
    enum class DateField { modified, created, accessed };
    enum class SizeUnit { kb, mb, gb };

    Kind kind = Kind::all;
    std::string extensions; // as typed, e.g. ".PDF, jpg docx"
    bool showInvisible = true;
    bool showPackageContents = true;
    bool matchPath = false;
    bool useRegex = false;
    bool matchCase = false;
    std::string contentQuery;
    double minimumSize = 0; // in minimumSizeUnit; 0 or less means no bound
    SizeUnit minimumSizeUnit = SizeUnit::mb;
    double maximumSize = 0; // in maximumSizeUnit; 0 or less means no bound
    SizeUnit maximumSizeUnit = SizeUnit::mb;
    DateRange modified = DateRange::any;
    DateField dateField = DateField::modified;

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
    // The oldest admitted date in the index's encoding, or nothing for `any`.
    std::optional<std::uint32_t> modifiedAfter(std::chrono::system_clock::time_point now) const;

    static std::uint64_t boundBytes(double size, SizeUnit unit);
    static std::int64_t spanSeconds(DateRange range);
    static std::uint64_t bytesPerUnit(SizeUnit unit);
    // English key of the date column's label ("Modified", "Created", "Last Opened").
    static std::string_view label(DateField field);

    // Raw texts of the enumerations, in declaration order; also the lists of all cases.
    static constexpr std::array<std::pair<Kind, std::string_view>, 3> kindTexts{
        {{Kind::all, "all"}, {Kind::filesOnly, "filesOnly"}, {Kind::foldersOnly, "foldersOnly"}}};
    static constexpr std::array<std::pair<DateRange, std::string_view>, 5> dateRangeTexts{
        {{DateRange::any, "any"},
         {DateRange::today, "today"},
         {DateRange::lastWeek, "lastWeek"},
         {DateRange::lastMonth, "lastMonth"},
         {DateRange::lastYear, "lastYear"}}};
    static constexpr std::array<std::pair<DateField, std::string_view>, 3> dateFieldTexts{
        {{DateField::modified, "modified"},
         {DateField::created, "created"},
         {DateField::accessed, "accessed"}}};
    static constexpr std::array<std::pair<SizeUnit, std::string_view>, 3> sizeUnitTexts{
        {{SizeUnit::kb, "kb"}, {SizeUnit::mb, "mb"}, {SizeUnit::gb, "gb"}}};

    static std::string_view rawText(Kind value);
    static std::string_view rawText(DateRange value);
    static std::string_view rawText(DateField value);
    static std::string_view rawText(SizeUnit value);

    // The persisted form: one value per key ("kind", "extensions", ..., "dateField"),
    // enumerations as raw texts, switches as bools, sizes as doubles. The three value types
    // are those a settings store and JSON both hold natively (QVariant, QJsonValue).
    using Value = std::variant<bool, double, std::string>;
    using Record = std::map<std::string, Value, std::less<>>;
    static constexpr std::array<std::string_view, 14> recordKeys{
        "kind",        "extensions",      "showInvisible", "showPackageContents",
        "matchPath",   "useRegex",        "matchCase",     "contentQuery",
        "minimumSize", "minimumSizeUnit", "maximumSize",   "maximumSizeUnit",
        "modified",    "dateField"};

    struct Decoded;

    Record encode() const;
    // All keys are required and every enumeration text must be known, or nothing is
    // decoded. A switch may also arrive as the text "true"/"false" and a size as a decimal
    // text, since an INI-backed settings file gives every value back as text. Unknown keys
    // are ignored; a size that is not a number (NaN) is rejected.
    static Decoded decode(const Record& record);
};

// The outcome of `Filters::decode`.
struct Filters::Decoded {
    std::optional<Filters> filters; // nothing when the record as a whole is rejected
    std::string problem;            // why it was rejected, naming the key
};

namespace Search {

// The entry-level filters of one search, precomputed. Holds a copy of the index value (its
// storage is shared, so the copy costs a few reference counts) and refers to the name table,
// which must outlive the sieve. `admits` allocates nothing.
class Sieve {
public:
    Sieve(const Filters& filters, const NameTable& names, const FileIndex& index,
          std::chrono::system_clock::time_point now);

    // True when the settings can hide nothing; the search then skips the sieve entirely.
    bool isPassthrough() const { return isPassthrough_; }
    // Whether the live entry passes kind, size, date, visibility, extension and package
    // tests, in that order. A deleted entry never passes, even through a passthrough sieve.
    bool admits(std::int64_t entry, bool isDirectory) const;

    const Filters& filters() const { return filters_; }
    const std::vector<std::string>& extensions() const { return extensions_; }
    std::uint64_t minimumBytes() const { return minimumBytes_; }
    std::uint64_t maximumBytes() const { return maximumBytes_; }
    std::uint32_t packedMinimum() const { return packedMinimum_; }
    std::uint32_t packedMaximum() const { return packedMaximum_; }
    std::optional<std::uint32_t> modifiedAfter() const { return modifiedAfter_; }

private:
    template <class T> using View = ColumnView<T>;

    bool admitsName(std::uint32_t nameId) const;
    bool isInsidePackage(std::uint32_t directory) const;

    Filters filters_;
    const NameTable* names_;
    FileIndex index_;
    std::vector<std::string> extensions_;
    std::uint64_t minimumBytes_ = 0;
    std::uint64_t maximumBytes_ = 0;
    std::uint32_t packedMinimum_ = 0;
    std::uint32_t packedMaximum_ = 0;
    std::optional<std::uint32_t> modifiedAfter_;
    bool isPassthrough_ = true;
    bool testsName_ = false; // invisible or extension test needed

    View<std::uint8_t> flags_;
    View<std::uint32_t> sizes_;
    View<std::uint32_t> dates_; // the column chosen by dateField
    View<std::uint32_t> entryNames_;
};

inline bool Sieve::admits(std::int64_t entry, bool isDirectory) const {
    const auto i = static_cast<std::size_t>(entry);
    if (flags_[i] & EntryFlags::deletedBit) return false;
    if (isPassthrough_) return true;
    if (isDirectory ? filters_.kind == Filters::Kind::filesOnly
                    : filters_.kind == Filters::Kind::foldersOnly)
        return false;
    if (packedMinimum_ != 0 && sizes_[i] < packedMinimum_) return false;
    if (packedMaximum_ != 0 && (isDirectory || sizes_[i] > packedMaximum_)) return false;
    if (modifiedAfter_ && dates_[i] < *modifiedAfter_) return false;
    if (testsName_ && !admitsName(entryNames_[i])) return false;
    if (filters_.showPackageContents) return true;
    return !isInsidePackage(index_.entryDir[i]);
}

} // namespace Search
} // namespace vesko
