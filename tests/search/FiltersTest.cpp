// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/Sieve.h"

#include "support/MemoryIndex.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <ctime>
#include <limits>

namespace vesko {
namespace {

using namespace std::chrono_literals;
using Kind = Filters::Kind;

constexpr std::uint64_t twoGiB = 1ull << 31;
// 2023-11-14 22:13:20 UTC; every date test is relative to it.
constexpr std::uint32_t nowSeconds = 1'700'000'000;
const auto now = std::chrono::system_clock::time_point(std::chrono::seconds(nowSeconds));

// A root "/r" (directory 0) with entries added by the tests, dated now unless told.
struct SieveTest : ::testing::Test, test::MemoryIndex {
    SieveTest() { root("/r"); }

    std::int64_t file(const std::string& name, std::uint32_t dir = 0, std::uint64_t size = 10,
                      std::uint32_t date = nowSeconds) {
        return MemoryIndex::file(name, dir, size, test::Dates::all(date));
    }
    std::uint32_t folder(const std::string& name, std::uint32_t parent = 0) {
        return MemoryIndex::folder(name, parent, test::Dates::all(nowSeconds));
    }
    bool admits(const Filters& filters, std::int64_t entry) {
        const Search::Sieve sieve(filters, names, index, now, 1);
        return sieve.admits(entry, index.flags(entry).contains(EntryFlags::directory()));
    }
};

Filters withExtensions(const std::string& text, Kind kind = Kind::all) {
    Filters f;
    f.extensions = text;
    f.kind = kind;
    return f;
}

// ---- the record ---------------------------------------------------------------------

// A setting counts as a filter only when it can hide results: changed ones that hide
// nothing leave the count at zero though the record is no longer the default.
TEST(Filters, OnlySettingsThatHideResultsCount) {
    Filters neutral;
    neutral.dateField = Filters::DateField::accessed;
    neutral.extensions = " ,. ";
    neutral.minimumSize = -4;
    EXPECT_EQ(neutral.activeCount(), 0);
    EXPECT_FALSE(neutral.isEmpty());
}

TEST(Filters, ByteBoundsTruncateTowardZeroAndClampAt64Bits) {
    using Unit = Filters::SizeUnit;
    constexpr auto top = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(Filters::boundBytes(-3, Unit::gb), 0u);
    EXPECT_EQ(Filters::boundBytes(std::numeric_limits<double>::quiet_NaN(), Unit::kb), 0u);
    EXPECT_EQ(Filters::boundBytes(1.5, Unit::kb), 1536u);
    EXPECT_EQ(Filters::boundBytes(3, Unit::gb), 3ull << 30);
    EXPECT_EQ(Filters::boundBytes(16.0 * 1024 * 1024 * 1024 - 1, Unit::gb), top - (1ull << 30) + 1);
    EXPECT_EQ(Filters::boundBytes(16.0 * 1024 * 1024 * 1024, Unit::gb), top); // exactly 2^64
    EXPECT_EQ(Filters::boundBytes(std::numeric_limits<double>::infinity(), Unit::kb), top);
}

// "Today" and "This Week" mean the local calendar, not the last 24 hours or 7 days: at 07:13
// on a Wednesday in Seoul (still Tuesday in UTC), the day began 7 hours ago, the week on Monday,
// or on Sunday where the locale starts it there.
TEST(Filters, CalendarRangesStartAtLocalMidnight) {
    const struct {
        Filters::DateRange range;
        int firstWeekday;
        std::uint32_t start;                                        // 00:00 KST
    } cases[] = {{Filters::DateRange::today, 1, 1'699'974'000},     // 15 November
                 {Filters::DateRange::thisWeek, 1, 1'699'801'200},  // Monday 13 November
                 {Filters::DateRange::thisWeek, 0, 1'699'714'800},  // Sunday 12 November
                 {Filters::DateRange::thisWeek, 3, 1'699'974'000},  // Wednesday, today
                 {Filters::DateRange::thisWeek, 6, 1'699'628'400},  // Saturday 11 November
                 {Filters::DateRange::thisMonth, 1, 1'698'764'400}, // 1 November
                 {Filters::DateRange::thisYear, 1, 1'672'498'800}}; // 1 January
    {
        const test::ScopedEnv zone("TZ", "KST-9"); // a POSIX rule: no time zone database needed
        tzset();
        for (const auto& c : cases) {
            Filters f;
            f.modified = c.range;
            EXPECT_EQ(f.modifiedAfter(now, c.firstWeekday), c.start) << Filters::rawText(c.range);
        }
    }
    tzset();
    // A clock set near 1970 must not wrap around (the span itself is the sieve's date test).
    Filters lastYear;
    lastYear.modified = Filters::DateRange::lastYear;
    EXPECT_EQ(lastYear.modifiedAfter(std::chrono::system_clock::time_point(1000s), 1), 0u);
}

// ---- the persisted record -------------------------------------------------------------

Filters everythingChanged() {
    Filters f;
    f.kind = Kind::foldersOnly;
    f.extensions = ".PDF, 사진";
    f.showInvisible = false;
    f.showPackageContents = false;
    f.matchPath = true;
    f.useRegex = true;
    f.matchCase = true;
    f.matchDiacritics = true;
    f.contentQuery = "needle \"q\"";
    f.minimumSize = 1.25;
    f.minimumSizeUnit = Filters::SizeUnit::kb;
    f.maximumSize = 7;
    f.maximumSizeUnit = Filters::SizeUnit::gb;
    f.modified = Filters::DateRange::thisMonth;
    f.dateField = Filters::DateField::accessed;
    f.family = Filters::Family::code;
    return f;
}

// Decoding needs every key, so a round trip also shows that encoding writes them all.
TEST(FiltersRecord, RoundTripsEveryField) {
    for (const Filters& f : {Filters(), everythingChanged()}) {
        const Filters::Decoded decoded = Filters::decode(f.encode());
        ASSERT_TRUE(decoded.filters) << decoded.problem;
        EXPECT_EQ(*decoded.filters, f);
    }
    // Settings files written by earlier versions hold these texts.
    EXPECT_EQ(everythingChanged().encode().at("kind"), Filters::Value(std::string("foldersOnly")));
}

TEST(FiltersRecord, MissingKeyUnknownRawTextOrWrongTypeRejectsTheWholeRecord) {
    auto expectRejected = [](const Filters::Record& record, const std::string& key) {
        const Filters::Decoded decoded = Filters::decode(record);
        EXPECT_FALSE(decoded.filters) << key;
        EXPECT_NE(decoded.problem.find(key), std::string::npos) << decoded.problem;
    };
    for (std::string_view key : Filters::recordKeys) {
        Filters::Record record = everythingChanged().encode();
        record.erase(record.find(key));
        expectRejected(record, std::string(key));
    }
    const std::vector<std::pair<std::string, Filters::Value>> bad = {
        {"kind", std::string("All")},
        {"dateField", true},
        {"showInvisible", std::string("yes")},
        {"minimumSize", std::string("12 MB")},
        {"maximumSize", std::numeric_limits<double>::quiet_NaN()},
    };
    for (const auto& [key, value] : bad) {
        Filters::Record record = Filters().encode();
        record[key] = value;
        expectRejected(record, key);
    }
}

TEST(FiltersRecord, AcceptsTheTextFormsAnIniSettingsFileGivesBack) {
    Filters::Record record = Filters().encode();
    record["useRegex"] = std::string("true");
    record["showInvisible"] = std::string("false");
    record["minimumSize"] = std::string("12.5");
    record["maximumSize"] = std::string("-1");
    record["someFutureKey"] = 3.0;
    record.erase("matchDiacritics"); // saved before the switch existed
    record.erase("family");
    const Filters::Decoded decoded = Filters::decode(record);
    ASSERT_TRUE(decoded.filters) << decoded.problem;
    EXPECT_FALSE(decoded.filters->matchDiacritics);
    EXPECT_EQ(decoded.filters->family, Filters::Family::any);
    EXPECT_TRUE(decoded.filters->useRegex);
    EXPECT_FALSE(decoded.filters->showInvisible);
    EXPECT_EQ(decoded.filters->minimumSize, 12.5);
    EXPECT_EQ(decoded.filters->maximumSize, -1);
}

// ---- the sieve ------------------------------------------------------------------------

TEST_F(SieveTest, KindSelectsFilesOrFolders) {
    const std::int64_t f = file("a.txt");
    folder("dir");
    const std::int64_t d = lastEntry();
    Filters filters;
    EXPECT_TRUE(Search::Sieve(filters, names, index, now, 1).isPassthrough());
    for (const auto& [kind, fileShown, folderShown] :
         {std::tuple{Kind::all, true, true}, std::tuple{Kind::filesOnly, true, false},
          std::tuple{Kind::foldersOnly, false, true}}) {
        filters.kind = kind;
        EXPECT_EQ(admits(filters, f), fileShown);
        EXPECT_EQ(admits(filters, d), folderShown);
    }
}

TEST_F(SieveTest, ExtensionsMatchTheTextAfterTheLastDotOfTheLowercaseName) {
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"PDF", "REPORT.PDF", true},
        {"PDF", "pdf", false},  // no dot
        {"PDF", ".pdf", false}, // the dot is the first character
        {"pdf", "a.pdf.txt", false},
        {"pdf", "a.pdfx", false},
        {"md,,txt", "x.txt", true},
        {"tar.gz", "x.tar", true},
        {"gz", "a.", false}, // empty extension
        {"ÄRZ,Ω", "a.ω", true},
        {"md\tx", "a.md", false}, // only comma, space and full stop
                                  // separate
        {", . ,", "a.pdf", true}, // no extension given: no filter
    };
    for (const auto& [extensions, name, expected] : cases)
        EXPECT_EQ(admits(withExtensions(extensions), file(name)), expected)
            << extensions << " / " << name;
}

TEST_F(SieveTest, AFamilyAdmitsOnlyFilesOfItsTypesAndNarrowsTheExtensions) {
    const std::int64_t photo = file("Holiday.JPG"), scan = file("scan.pdf"),
                       drawing = file("plan.png"), bare = file("jpg");
    folder("shots.png");
    const std::int64_t folderNamedLikeAnImage = lastEntry();
    Filters filters;
    filters.family = Filters::Family::images;
    EXPECT_TRUE(admits(filters, photo));
    EXPECT_TRUE(admits(filters, drawing));
    EXPECT_FALSE(admits(filters, scan));
    EXPECT_FALSE(admits(filters, bare));
    EXPECT_FALSE(admits(filters, folderNamedLikeAnImage));
    filters.extensions = "png, pdf"; // both must hold
    EXPECT_FALSE(admits(filters, photo));
    EXPECT_TRUE(admits(filters, drawing));
    EXPECT_FALSE(admits(filters, scan));
    filters.family = Filters::Family::documents;
    filters.extensions.clear();
    EXPECT_TRUE(admits(filters, scan));
}

TEST_F(SieveTest, InvisibleTestsOnlyTheEntrysOwnName) {
    const std::uint32_t git = folder(".git");
    const std::int64_t gitEntry = lastEntry();
    const std::int64_t config = file("config", git);
    const std::int64_t dsStore = file(".DS_Store");
    Filters filters;
    filters.showInvisible = false;
    EXPECT_FALSE(admits(filters, gitEntry));
    EXPECT_FALSE(admits(filters, dsStore));
    EXPECT_TRUE(admits(filters, config));
    filters.extensions = "store";
    EXPECT_FALSE(admits(filters, dsStore)); // hidden before its extension is looked at
}

TEST_F(SieveTest, PackageContentsHidesEverythingBelowAnAppFolderButTheFolder) {
    const std::uint32_t apps = folder("Applications");
    const std::uint32_t mail = folder("Mail.APP", apps);
    const std::int64_t mailEntry = lastEntry();
    const std::uint32_t contents = folder("Contents", mail);
    const std::int64_t contentsEntry = lastEntry();
    const std::int64_t plist = file("Info.plist", contents);
    const std::int64_t outside = file("readme", apps);
    Filters filters;
    filters.showPackageContents = false;
    EXPECT_TRUE(admits(filters, mailEntry));
    EXPECT_FALSE(admits(filters, contentsEntry));
    EXPECT_FALSE(admits(filters, plist));
    EXPECT_TRUE(admits(filters, outside));
    // A root whose own path ends in .app is where the user looks, not a package.
    EXPECT_TRUE(admits(filters, file("inside", root("/media/x.app"))));
    filters.showPackageContents = true;
    EXPECT_TRUE(admits(filters, plist));
}

// Bounds are given in KiB so that byte counts near 2 GiB stay exact in a double.
TEST_F(SieveTest, SizeBoundsComparePackedSizes) {
    const struct {
        const char* what;
        std::uint64_t minimum, maximum, fileSize; // bounds in bytes, 0 for none
        bool admitted;
    } cases[] = {
        {"min at last exact size", twoGiB - 1, 0, twoGiB - 2, false},
        {"min passes first KiB size", twoGiB - 1, 0, twoGiB, true},
        {"max at last exact size", 0, twoGiB - 1, twoGiB - 1, true},
        {"max rejects first KiB size", 0, twoGiB - 1, twoGiB, false},
        {"max same KiB admitted", 0, twoGiB, twoGiB + 1023, true},
        {"max next KiB rejected", 0, twoGiB, twoGiB + 1024, false},
        {"min same KiB admitted", twoGiB + 1023, 0, twoGiB, true},
        {"min saturated admits 2 TiB", 1ull << 50, 0, 1ull << 41, true},
        {"max saturated admits huge", 0, 1ull << 50, 1ull << 60, true},
        {"min above max", 200, 100, 150, false},
    };
    for (const auto& c : cases) {
        Filters filters;
        filters.minimumSize = static_cast<double>(c.minimum) / 1024;
        filters.minimumSizeUnit = Filters::SizeUnit::kb;
        filters.maximumSize = static_cast<double>(c.maximum) / 1024;
        filters.maximumSizeUnit = Filters::SizeUnit::kb;
        EXPECT_EQ(admits(filters, file("f", 0, c.fileSize)), c.admitted) << c.what;
    }
}

TEST_F(SieveTest, MaximumSizeHidesEveryFolderAndMinimumComparesFoldersLikeFiles) {
    folder("empty");
    const std::int64_t d = lastEntry();
    Filters filters;
    filters.maximumSize = 1e300;
    EXPECT_FALSE(admits(filters, d));
    filters = Filters();
    filters.minimumSize = 1;
    filters.minimumSizeUnit = Filters::SizeUnit::kb;
    EXPECT_FALSE(admits(filters, d)); // stored folder size 0 is below 1 KiB
}

TEST_F(SieveTest, DateRangeReadsOnlyTheChosenDateColumn) {
    using Field = Filters::DateField;
    const std::uint32_t fresh = nowSeconds - 100, old = nowSeconds - 1'000'000,
                        edge = nowSeconds - 604800;
    for (const Field field : {Field::modified, Field::created, Field::accessed}) {
        SCOPED_TRACE(Filters::rawText(field));
        auto dates = [&](std::uint32_t chosen, std::uint32_t others) {
            return MemoryIndex::file("dated", 0, 0,
                                     {field == Field::modified ? chosen : others,
                                      field == Field::created ? chosen : others,
                                      field == Field::accessed ? chosen : others});
        };
        Filters filters;
        filters.modified = Filters::DateRange::lastWeek;
        filters.dateField = field;
        EXPECT_TRUE(admits(filters, dates(fresh, old)));
        EXPECT_FALSE(admits(filters, dates(old, fresh)));
        EXPECT_TRUE(admits(filters, dates(edge, old)));
        EXPECT_FALSE(admits(filters, dates(edge - 1, fresh)));
        EXPECT_FALSE(admits(filters, dates(0, fresh))); // no known date
        filters.modified = Filters::DateRange::any;
        EXPECT_TRUE(admits(filters, dates(0, 0)));
    }
}

} // namespace
} // namespace vesko
