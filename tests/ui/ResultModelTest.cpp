// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ResultModel.h"
#include "ui/DisplayText.h"
#include "ui/ResultDelegate.h"

#include "store/StoreFixture.h"
#include "support/TestSeed.h"

#include <QAbstractItemModelTester>

#include <filesystem>
#include <random>
#include <set>

namespace vesko {
namespace {

using test::patience;

class ResultModelTest : public test::StoreFixture {};

// Names of the longest length a file system takes, a third of them not valid UTF-8.
void addLongNames(test::TempTree& tree, int count) {
    std::mt19937_64 random(test::testSeed("ResultModelManyLongNames"));
    for (int i = 0; i < count; ++i) {
        std::string name = "report-" + std::to_string(i) + '-';
        while (name.size() < 255)
            name += static_cast<char>(i % 3 == 0 ? 0x80 + random() % 0x40 : 'a' + random() % 26);
        tree.file("many/" + name);
    }
}

// Every hit is a row from the start, made as it is asked for: the tester checks every
// signal, and every row answers without crashing on undecodable names.
TEST_F(ResultModelTest, HoldsEveryHitAndStaysConsistentThroughANewQuery) {
    addLongNames(home, 3000);
    auto store = startedStore();
    ResultModel model(store->session(), store->preferences(), nullptr);
    QAbstractItemModelTester tester(&model,
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    searchFor(*store, "report");
    ASSERT_EQ(model.rowCount(), 3000);
    int replaced = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QString name = model.data(model.index(row, 0)).toString();
        ASSERT_TRUE(name.startsWith(u"report-")) << row;
        replaced += name.contains(u"\\x");
    }
    EXPECT_GT(replaced, 0);

    searchFor(*store, "report-1");
    ASSERT_EQ(static_cast<qint64>(model.rowCount()), store->session().rowCount());
    for (int row = 0; row < model.rowCount(); ++row)
        ASSERT_TRUE(model.data(model.index(row, 0)).toString().startsWith(u"report-1")) << row;
}

// Random watcher batches (files made, deleted, renamed, resized) under a size sort, so rows
// come, go and move: the model follows each without a reset, a fresh model would show the
// same rows, and every row a view held on to still names its file or is gone with it.
TEST_F(ResultModelTest, FollowsWatcherBatchesByRange) {
    std::mt19937_64 random(test::testSeed("ResultModelWatcherBatches"));
    std::vector<std::string> names;
    int made = 0;
    const auto make = [&] {
        names.push_back("item-" + std::to_string(made++) + ".txt");
        return home.file("docs/" + names.back(), std::string(random() % 4000, 'x'));
    };
    for (int i = 0; i < 40; ++i)
        make();
    auto store = startedStore();
    store->session().setSort({ResultSort::Field::size, false});
    ResultModel model(store->session(), store->preferences(), nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    searchFor(*store, "item");
    const auto pathAt = [](const ResultModel& shown, int row) {
        return shown.data(shown.index(row, 0), ResultModel::pathRole).toString().toStdString();
    };
    const int size = model.sectionOf(ResultModel::Column::size);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy moves(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy applied(&store->lifecycle(), &IndexLifecycle::batchApplied);
    for (int round = 0; round < 30; ++round) {
        std::vector<std::pair<QPersistentModelIndex, std::string>> held;
        for (int row = 0; row < model.rowCount(); ++row)
            held.emplace_back(model.index(row, 0), pathAt(model, row));
        FileSystemWatcher::Batch batch;
        batch.lastEventID = static_cast<std::uint64_t>(round) + 1;
        for (int change = 1 + static_cast<int>(random() % 4); change > 0; --change) {
            const std::size_t which = random() % names.size();
            const std::string path = home.path("docs/" + names[which]);
            switch (random() % 4) {
            case 0:
                batch.paths.push_back(make());
                break;
            case 1:
                home.remove("docs/" + names[which]);
                names.erase(names.begin() + static_cast<std::ptrdiff_t>(which));
                batch.paths.push_back(path);
                break;
            case 2:
                names[which] = "item-" + std::to_string(made++) + ".txt";
                std::filesystem::rename(path, home.path("docs/" + names[which]));
                batch.paths.insert(batch.paths.end(), {path, home.path("docs/" + names[which])});
                break;
            default:
                home.file("docs/" + names[which], std::string(random() % 4000, 'y'));
                batch.paths.push_back(path);
            }
        }
        store->lifecycle().enqueue(batch);
        ASSERT_TRUE(waitForBatch(*store, applied, round + 1));
        researchAndWait(*store); // a batch of sizes alone searches nothing again

        ResultModel fresh(store->session(), store->preferences(), nullptr);
        ASSERT_EQ(model.rowCount(), fresh.rowCount()) << round;
        std::set<std::string> listed;
        for (int row = 0; row < model.rowCount(); ++row) {
            ASSERT_EQ(pathAt(model, row), pathAt(fresh, row)) << round << ' ' << row;
            ASSERT_EQ(model.data(model.index(row, size)), fresh.data(fresh.index(row, size)));
            listed.insert(pathAt(model, row));
        }
        for (const auto& [index, path] : held) {
            ASSERT_EQ(index.isValid(), listed.contains(path)) << round << ' ' << path;
            if (index.isValid()) {
                ASSERT_EQ(pathAt(model, index.row()), path) << round;
            }
        }
    }
    EXPECT_EQ(resets.count(), 0);
    EXPECT_GT(moves.count(), 0); // resized files moved
}

TEST_F(ResultModelTest, ColumnsFollowThePreferencesAndTheHeaderShowsTheSort) {
    home.file("docs/report.txt", "four");
    auto store = startedStore();
    ResultModel model(store->session(), store->preferences(), nullptr);
    QAbstractItemModelTester tester(&model,
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    store->preferences().setShowSize(false);
    store->preferences().setShowCreated(true);
    QStringList titles;
    for (int section = 0; section < model.columnCount(); ++section)
        titles << model.headerData(section, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{"Name", "Kind", "Modified", "Created", "Full Path"}));

    searchFor(*store, "report");
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0, model.sectionOf(ResultModel::Column::path))).toString(),
              QString::fromStdString(home.path("docs")));
    EXPECT_FALSE(model.data(model.index(0, 1)).toString().isEmpty()); // a kind for .txt
    // A date's tip is its exact time, whatever short form the cell shows.
    const int modified = model.sectionOf(ResultModel::Column::modified);
    store->preferences().setDateStyle(DateStyle::relative);
    const QString tip = model.data(model.index(0, modified), Qt::ToolTipRole).toString();
    EXPECT_NE(tip, model.data(model.index(0, modified)).toString());
    EXPECT_EQ(tip,
              QLocale().toString(QDateTime::fromSecsSinceEpoch(store->session().row(0).modified),
                                 QLocale::LongFormat));
}

// A newline or a right-to-left override shows as an escape in the cell and the tooltip;
// a link's kind and size read as in the detail bar.
TEST_F(ResultModelTest, OddNamesShowVisiblyAndALinkReadsAsInTheDetailBar) {
    home.file("odd/line\nbreak.txt");
    home.file("odd/rtl\u202Etxt.exe");
    home.file("odd/target.txt", "twelve bytes");
    const std::string link = home.symlink("target.txt", "odd/link.txt");
    auto store = startedStore();
    store->preferences().setShowSize(true);
    ResultModel model(store->session(), store->preferences(), nullptr);
    const auto cell = [&](ResultModel::Column column, int role = Qt::DisplayRole) {
        return model.data(model.index(0, model.sectionOf(column)), role).toString();
    };
    for (const auto& [query, shown] :
         {std::pair<QString, QString>{"break", "line\\nbreak.txt"}, {"rtl", "rtl\\u202Etxt.exe"}}) {
        searchFor(*store, query);
        ASSERT_EQ(model.rowCount(), 1);
        EXPECT_EQ(cell(ResultModel::Column::name), shown);
        EXPECT_TRUE(cell(ResultModel::Column::name, Qt::ToolTipRole).endsWith("/odd/" + shown));
    }
    searchFor(*store, "link.txt");
    ASSERT_EQ(model.rowCount(), 1);
    const FileDetail detail = FileDetail::read(link);
    EXPECT_EQ(cell(ResultModel::Column::kind),
              "Link to " + FileDetail::read(home.path("odd/target.txt")).kind.value_or("?"));
    EXPECT_EQ(cell(ResultModel::Column::size), DisplayText::sizeText(detail.size.value_or(0)));
}

TEST(ResultDelegateTest, SpansAreInTheNamesOwnPositions) {
    using Spans = std::vector<ResultDelegate::Span>;
    struct Case {
        std::vector<std::string> terms;
        QString name;
        Spans expected;
    };
    // Which ranges are marked is the highlight's test; these are the conversions to spans.
    const Case cases[] = {
        {{"a"}, "banana", {{1, 1}, {3, 1}, {5, 1}}},
        // A character outside the basic plane takes two positions in the name.
        {{"read"}, QString::fromUtf8("\xF0\x9F\x98\x80read.md"), {{2, 4}}},
        // So does nothing stop after a replacement character.
        {{"x"}, QString::fromUtf8("\xFF\xFEx"), {{2, 1}}},
    };
    for (const Case& item : cases)
        EXPECT_EQ(ResultDelegate::spans(item.terms, item.name), item.expected)
            << item.name.toStdString();
}

// A name that holds both the consonants themselves and a word they abbreviate: the bold
// parts must change with the preference, as the matching does.
TEST_F(ResultModelTest, HighlightFollowsTheInitialConsonantsPreference) {
    const QString name = QString::fromUtf8("ㅂㄱㅅ 보고서.txt");
    home.file(name.toStdString());
    auto store = startedStore();
    ResultDelegate delegate(store->session(), store->preferences());
    searchFor(*store, QString::fromUtf8("ㅂㄱㅅ"));
    EXPECT_EQ(delegate.spans(name), (std::vector<ResultDelegate::Span>{{0, 3}, {4, 3}}));

    QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
    store->preferences().setInitialConsonants(false);
    ASSERT_TRUE(rows.wait(patience) || rows.count() > 0);
    EXPECT_EQ(delegate.spans(name), (std::vector<ResultDelegate::Span>{{0, 3}}));
}

} // namespace
} // namespace vesko
