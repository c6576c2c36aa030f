// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/Filters.h"

#include "index/EntryFlags.h"
#include "index/Unicode.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <langinfo.h>
#include <limits>
#include <locale.h>

namespace vesko {
namespace {

template <class E, std::size_t N>
std::string_view textOf(const std::array<std::pair<E, std::string_view>, N>& table, E value) {
    for (const auto& [e, text] : table)
        if (e == value) return text;
    return {};
}

template <class E, std::size_t N>
std::optional<E> valueOf(const std::array<std::pair<E, std::string_view>, N>& table,
                         std::string_view text) {
    for (const auto& [e, t] : table)
        if (t == text) return e;
    return std::nullopt;
}

// Reads one record, remembering the first problem so that decoding fails as a whole.
class RecordReader {
public:
    explicit RecordReader(const Filters::Record& record) : record_(record) {}

    const std::string& problem() const { return problem_; }

    void text(std::string_view key, std::string& out) {
        const Filters::Value* v = find(key);
        if (!v) return;
        if (const auto* s = std::get_if<std::string>(v))
            out = *s;
        else
            fail(key, "is not a text");
    }

    void flag(std::string_view key, bool& out) {
        const Filters::Value* v = find(key);
        if (!v) return;
        if (const auto* b = std::get_if<bool>(v))
            out = *b;
        else if (const auto* s = std::get_if<std::string>(v); s && (*s == "true" || *s == "false"))
            out = *s == "true";
        else
            fail(key, "is not a bool");
    }

    void number(std::string_view key, double& out) {
        const Filters::Value* v = find(key);
        if (!v) return;
        std::optional<double> parsed;
        if (const auto* d = std::get_if<double>(v))
            parsed = *d;
        else if (const auto* s = std::get_if<std::string>(v))
            parsed = parseNumber(*s);
        if (!parsed || std::isnan(*parsed)) return fail(key, "is not a number");
        out = *parsed;
    }

    // A switch that older records lack: absent, it keeps its default.
    void laterFlag(std::string_view key, bool& out) {
        if (record_.contains(key)) flag(key, out);
    }

    // An enumeration that older records lack: absent, it keeps its default.
    template <class E, std::size_t N>
    void laterEnumeration(std::string_view key,
                          const std::array<std::pair<E, std::string_view>, N>& table, E& out) {
        if (record_.contains(key)) enumeration(key, table, out);
    }

    template <class E, std::size_t N>
    void enumeration(std::string_view key,
                     const std::array<std::pair<E, std::string_view>, N>& table, E& out) {
        const Filters::Value* v = find(key);
        if (!v) return;
        const auto* s = std::get_if<std::string>(v);
        const std::optional<E> e = s ? valueOf(table, *s) : std::nullopt;
        if (e)
            out = *e;
        else
            fail(key, s ? "has an unknown value \"" + *s + "\"" : std::string("is not a text"));
    }

private:
    const Filters::Value* find(std::string_view key) {
        if (!problem_.empty()) return nullptr;
        const auto it = record_.find(key);
        if (it != record_.end()) return &it->second;
        fail(key, "is missing");
        return nullptr;
    }

    void fail(std::string_view key, const std::string& what) {
        if (problem_.empty()) problem_ = "filter key \"" + std::string(key) + "\" " + what;
    }

    static std::optional<double> parseNumber(const std::string& s) {
        double d = 0;
        const char* end = s.data() + s.size();
        const auto [ptr, ec] = std::from_chars(s.data(), end, d);
        if (ec != std::errc() || ptr != end || s.empty()) return std::nullopt;
        return d;
    }

    const Filters::Record& record_;
    std::string problem_;
};

} // namespace

int Filters::activeCount() const {
    int n = 0;
    n += !showInvisible;
    n += !showPackageContents;
    n += matchPath;
    n += useRegex;
    n += matchCase;
    n += matchDiacritics;
    n += kind != Kind::all;
    n += family != Family::any;
    n += !parsedExtensions().empty();
    n += !contentQuery.empty();
    n += minimumSize > 0;
    n += maximumSize > 0;
    n += modified != DateRange::any;
    return n;
}

std::vector<std::string> Filters::parsedExtensions() const {
    const std::string lowered = Unicode::folded(extensions);
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= lowered.size(); ++i) {
        if (i < lowered.size() && lowered[i] != ',' && lowered[i] != ' ' && lowered[i] != '.')
            continue;
        if (i > start) pieces.emplace_back(lowered, start, i - start);
        start = i + 1;
    }
    return pieces;
}

std::uint64_t Filters::boundBytes(double size, SizeUnit unit) {
    if (!(size > 0)) return 0; // also NaN
    const double bytes = size * static_cast<double>(bytesPerUnit(unit));
    // 2^64 is exactly representable; anything from there up would overflow the conversion.
    if (bytes >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(bytes);
}

int Filters::localeFirstWeekday() {
    static const int day = [] {
        const locale_t locale = ::newlocale(LC_TIME_MASK, "", nullptr);
        if (locale == nullptr) return 1;
        // glibc gives the week's first day as an offset from a reference date, itself a
        // Sunday (19971130) or a Monday (19971201), packed into the pointer's bits.
        const auto reference = static_cast<std::uint32_t>(
            reinterpret_cast<std::uintptr_t>(::nl_langinfo_l(_NL_TIME_WEEK_1STDAY, locale)));
        const int offset = ::nl_langinfo_l(_NL_TIME_FIRST_WEEKDAY, locale)[0];
        ::freelocale(locale);
        const int base = reference == 19971130 ? 0 : 1;
        return offset >= 1 && offset <= 7 ? (base + offset - 1) % 7 : 1;
    }();
    return day;
}

namespace {

// The start of the local day, week, month or year holding `now`.
std::int64_t calendarStart(Filters::DateRange range, std::time_t now, int firstWeekday) {
    std::tm local{};
    if (!localtime_r(&now, &local)) return now;
    local.tm_sec = local.tm_min = local.tm_hour = 0;
    local.tm_isdst = -1; // midnight may fall on the other side of a daylight-saving change
    switch (range) {
    case Filters::DateRange::thisWeek:
        local.tm_mday -= (local.tm_wday - firstWeekday % 7 + 7) % 7;
        break;
    case Filters::DateRange::thisMonth:
        local.tm_mday = 1;
        break;
    case Filters::DateRange::thisYear:
        local.tm_mday = 1;
        local.tm_mon = 0;
        break;
    default:
        break;
    }
    const std::time_t start = std::mktime(&local);
    return start == static_cast<std::time_t>(-1) ? now : start;
}

} // namespace

std::optional<std::uint32_t> Filters::modifiedAfter(std::chrono::system_clock::time_point now,
                                                    int firstWeekday) const {
    if (modified == DateRange::any) return std::nullopt;
    const std::int64_t seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    const std::int64_t span = spanSeconds(modified);
    return clampSeconds(
        span > 0 ? seconds - span
                 : calendarStart(modified, static_cast<std::time_t>(seconds), firstWeekday));
}

std::int64_t Filters::spanSeconds(DateRange range) {
    switch (range) {
    case DateRange::any:
    case DateRange::today:
    case DateRange::thisWeek:
    case DateRange::thisMonth:
    case DateRange::thisYear:
        return 0;
    case DateRange::lastWeek:
        return 604800;
    case DateRange::lastMonth:
        return 2592000;
    case DateRange::lastYear:
        return 31536000;
    }
    return 0;
}

std::uint64_t Filters::bytesPerUnit(SizeUnit unit) {
    switch (unit) {
    case SizeUnit::kb:
        return 1024;
    case SizeUnit::mb:
        return 1048576;
    case SizeUnit::gb:
        return 1073741824;
    }
    return 1;
}

std::string_view Filters::label(DateField field) {
    switch (field) {
    case DateField::modified:
        return "Modified";
    case DateField::created:
        return "Created";
    case DateField::accessed:
        return "Last Opened";
    }
    return {};
}

std::string_view Filters::rawText(Kind value) {
    return textOf(kindTexts, value);
}
std::string_view Filters::rawText(DateRange value) {
    return textOf(dateRangeTexts, value);
}
std::string_view Filters::rawText(Family value) {
    return textOf(familyTexts, value);
}
std::string_view Filters::rawText(DateField value) {
    return textOf(dateFieldTexts, value);
}
std::string_view Filters::rawText(SizeUnit value) {
    return textOf(sizeUnitTexts, value);
}

Filters::Record Filters::encode() const {
    const auto text = [](std::string_view s) { return Value(std::string(s)); };
    return Record{
        {"kind", text(rawText(kind))},
        {"family", text(rawText(family))},
        {"extensions", Value(extensions)},
        {"showInvisible", Value(showInvisible)},
        {"showPackageContents", Value(showPackageContents)},
        {"matchPath", Value(matchPath)},
        {"useRegex", Value(useRegex)},
        {"matchCase", Value(matchCase)},
        {"matchDiacritics", Value(matchDiacritics)},
        {"contentQuery", Value(contentQuery)},
        {"minimumSize", Value(minimumSize)},
        {"minimumSizeUnit", text(rawText(minimumSizeUnit))},
        {"maximumSize", Value(maximumSize)},
        {"maximumSizeUnit", text(rawText(maximumSizeUnit))},
        {"modified", text(rawText(modified))},
        {"dateField", text(rawText(dateField))},
    };
}

Filters::Decoded Filters::decode(const Record& record) {
    Filters f;
    RecordReader in(record);
    in.enumeration("kind", kindTexts, f.kind);
    in.laterEnumeration("family", familyTexts, f.family);
    in.text("extensions", f.extensions);
    in.flag("showInvisible", f.showInvisible);
    in.flag("showPackageContents", f.showPackageContents);
    in.flag("matchPath", f.matchPath);
    in.flag("useRegex", f.useRegex);
    in.flag("matchCase", f.matchCase);
    in.laterFlag("matchDiacritics", f.matchDiacritics);
    in.text("contentQuery", f.contentQuery);
    in.number("minimumSize", f.minimumSize);
    in.enumeration("minimumSizeUnit", sizeUnitTexts, f.minimumSizeUnit);
    in.number("maximumSize", f.maximumSize);
    in.enumeration("maximumSizeUnit", sizeUnitTexts, f.maximumSizeUnit);
    in.enumeration("modified", dateRangeTexts, f.modified);
    in.enumeration("dateField", dateFieldTexts, f.dateField);
    if (!in.problem().empty()) return {std::nullopt, in.problem()};
    return {f, {}};
}

} // namespace vesko
