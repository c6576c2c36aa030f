// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MainView.h"

#include "store/StoreFixture.h"
#include "support/ScopedEnv.h"
#include "ui/ActionNotice.h"
#include "ui/ContentState.h"
#include "ui/DetailBar.h"
#include "ui/PreviewWindow.h"
#include "ui/RenameDialog.h"
#include "ui/ResultActions.h"
#include "ui/ResultModel.h"
#include "ui/ResultTable.h"
#include "ui/StatePage.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>

#include <filesystem>
#include <future>

namespace vesko {
namespace {

using test::patience;

class MainViewTest : public test::StoreFixture {
protected:
    MainViewTest() {
        for (int i = 0; i < 30; ++i)
            home.file("docs/report-" + std::to_string(i) + ".txt", std::string(1500, 'x'));
    }
    QString stateTitle(MainView& view) { return view.findChild<StatePage*>()->title(); }
};

// The view at its default size in an active window, as keys and clicks need it.
struct ShownView {
    explicit ShownView(IndexStore& store)
        : preview(store.session(), store.tasks()), view(store, preview) {
        view.resize(1180, 760);
        view.show();
    }
    PreviewWindow preview;
    MainView view;
};

TEST_F(MainViewTest, ShowsOneMessageForEachState) {
    auto store = makeStore();
    PreviewWindow preview(store->session(), store->tasks());
    MainView view(*store, preview);
    EXPECT_EQ(stateTitle(view), "Building index…");
    store->lifecycle().start();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return store->lifecycle().phase() == IndexLifecycle::Phase::ready; }, patience));
    EXPECT_EQ(stateTitle(view), "Type to search");

    searchFor(*store, "report");
    EXPECT_EQ(contentStateOf(store->lifecycle(), store->session()), ContentState::results);

    Filters filters;
    filters.extensions = "pdf";
    QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
    store->session().setFilters(filters);
    ASSERT_TRUE(rows.wait(patience));
    EXPECT_EQ(stateTitle(view), "No results");
    EXPECT_EQ(view.findChild<StatePage*>()->note(), "1 filters are hiding results");

    filters.extensions.clear();
    filters.useRegex = true;
    store->session().setFilters(filters);
    searchFor(*store, "(report");
    EXPECT_EQ(stateTitle(view), "Invalid regular expression");
    EXPECT_FALSE(view.findChild<StatePage*>()->note().isEmpty());

    store->session().setFilters(Filters{});
    store->session().setSearchAsYouType(false);
    store->session().setQuery("nothing-typed-yet");
    store->session().setQuery(QString());
    store->session().setQuery("report-2");
    EXPECT_EQ(stateTitle(view), "Press Return to search");
}

TEST_F(MainViewTest, AHiddenSizeColumnLeavesTheSizeInTheDetailBar) {
    auto store = startedStore();
    store->preferences().setShowSize(false);
    PreviewWindow preview(store->session(), store->tasks());
    MainView view(*store, preview);
    searchFor(*store, "report-7");
    auto* detail = view.findChild<DetailBar*>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !detail->fields().isEmpty(); }, patience));
    EXPECT_TRUE(
        detail->fields().contains(QLocale().formattedDataSize(1500, 1, QLocale::DataSizeSIFormat)))
        << detail->fields().toStdString();
    EXPECT_EQ(detail->path(), QString::fromStdString(home.path("docs/report-7.txt")));

    home.remove("docs/report-7.txt");
    store->actions().loadDetail();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return detail->fields() == "Item no longer exists"; }, patience));
}

// The marks and the trash at the widget's level; the end-to-end suite does it in the real window.
TEST_F(MainViewTest, ShiftAndCtrlMarkRowsThatMoveToTheTrashTogether) {
    test::ScopedEnv trashHome{"HOME", home.root()};
    test::ScopedEnv trashData{"XDG_DATA_HOME", state.dir("data")};
    auto store = startedStore();
    ShownView shown(*store);
    MainView& view = shown.view;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    searchFor(*store, "report");
    ResultTable& table = view.table();
    const auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(table.viewport(), Qt::LeftButton, modifiers,
                          table.visualRect(view.model().index(row, 0)).center());
    };
    click(2, {});
    click(5, Qt::ShiftModifier);
    click(8, Qt::ControlModifier);
    QTest::keyClick(&table, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(store->session().selectedRows(), (std::vector<qint64>{2, 3, 4, 5, 8, 9}));
    EXPECT_EQ(store->session().selection(), 9);
    auto* detail = view.findChild<DetailBar*>();
    EXPECT_EQ(detail->fields(),
              "6 items · " + QLocale().formattedDataSize(6 * 1500, 1, QLocale::DataSizeSIFormat));

    const SearchRow vanished = store->session().row(4);
    std::filesystem::remove(vanished.directory + "/" + vanished.name);
    QTest::keyClick(&table, Qt::Key_Delete);
    ASSERT_EQ(store->session().selectedRows().size(), 1u);
    EXPECT_EQ(table.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(table.currentIndex().row(), store->session().selectedRows()[0]);
    auto* problem = view.findChild<QMessageBox*>("actionProblem");
    ASSERT_TRUE(problem && problem->isVisible());
    EXPECT_TRUE(problem->informativeText().contains(QString::fromStdString(vanished.name)));
    problem->accept();

    // A plain move drops the marks; the focused row is what the actions act on again.
    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_TRUE(store->session().selectedRows().empty());
    EXPECT_EQ(table.selectionModel()->selectedRows().size(), 1);
}

// A file the watcher reports that sorts in above the focused row: the list moves down by
// one row under the user, who keeps the place scrolled to, the focus and the marks.
TEST_F(MainViewTest, ALiveChangeKeepsScrollFocusAndMarksOnTheirFiles) {
    for (int i = 10; i < 90; ++i)
        home.file("docs/entry-" + std::to_string(i) + "0.txt");
    auto store = startedStore();
    store->session().setSort({ResultSort::Field::name, true});
    ShownView shown(*store);
    MainView& view = shown.view;
    ResultTable& table = view.table();
    searchFor(*store, "entry");
    ASSERT_EQ(store->session().rowCount(), 80);
    table.setFocus();
    table.verticalScrollBar()->setValue(20);
    store->session().setSelection(30);
    store->session().setSelectedRows({29, 30});
    const int scrolled = table.verticalScrollBar()->value();
    ASSERT_EQ(scrolled, 20);
    const auto pathAt = [&](int row) {
        return view.model()
            .data(view.model().index(row, 0), ResultModel::pathRole)
            .toString()
            .toStdString();
    };
    const std::string focused = pathAt(30);
    const std::vector<std::string> marked{pathAt(29), focused};

    QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
    FileSystemWatcher::Batch batch;
    batch.paths = {home.file("docs/entry-355.txt")}; // between rows 25 and 26
    batch.lastEventID = 1;
    store->lifecycle().enqueue(batch);
    ASSERT_TRUE(rows.wait(patience));
    ASSERT_EQ(store->session().rowCount(), 81);
    EXPECT_EQ(pathAt(26), home.path("docs/entry-355.txt"));
    EXPECT_EQ(pathAt(table.currentIndex().row()), focused);
    EXPECT_EQ(store->session().selection(), 31);
    std::vector<std::string> shownMarks;
    for (const QModelIndex& index : table.selectionModel()->selectedRows())
        shownMarks.push_back(pathAt(index.row()));
    std::ranges::sort(shownMarks);
    EXPECT_EQ(shownMarks, marked);
    EXPECT_EQ(store->session().selectedRows(), (std::vector<qint64>{30, 31}));
    EXPECT_EQ(table.verticalScrollBar()->value(), scrolled);
    EXPECT_TRUE(table.hasFocus());
}

// Kinds as long as a spreadsheet's read whole at the default size, and the smallest window
// with the sidebar open still shows every column without a horizontal scroll bar.
TEST_F(MainViewTest, ColumnsFitTheirRowsWithinTheView) {
    home.file("docs/budget-report.xlsx");
    home.file("docs/slides-report.pptx");
    auto store = startedStore();
    store->preferences().setShowSidebar(true);
    ShownView shown(*store);
    ResultTable& table = shown.view.table();
    const ResultModel& model = shown.view.model();
    searchFor(*store, "txt");    // a screenful and more, as the next
    searchFor(*store, "report"); // a new result with the list in view
    const int kind = model.sectionOf(ResultModel::Column::kind);
    const int margins =
        2 * (table.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &table) + 1);
    for (int row = 0; row < model.rowCount(); ++row) {
        const QString text = model.data(model.index(row, kind)).toString();
        EXPECT_LE(table.fontMetrics().horizontalAdvance(text) + margins, table.columnWidth(kind))
            << text.toStdString();
    }
    EXPECT_FALSE(table.horizontalScrollBar()->isVisible());

    shown.view.resize(900, 480);
    QCoreApplication::processEvents();
    EXPECT_FALSE(table.horizontalScrollBar()->isVisible());
    for (int section = 0; section < model.columnCount(); ++section)
        EXPECT_GE(table.columnWidth(section), table.horizontalHeader()->sectionSizeHint(section))
            << model.headerData(section, Qt::Horizontal).toString().toStdString();
}

// F2 proposes the name without its extension, a refused name keeps the dialog open, and the
// notice's Undo renames back (Delete and Ctrl+Z in the list are the session test's). Ctrl+E
// exports from the field, which otherwise takes it as "end of line".
TEST_F(MainViewTest, RenameAndExportFromTheKeys) {
    auto store = startedStore();
    ShownView shown(*store);
    MainView& view = shown.view;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    searchFor(*store, "report-1");
    ResultTable& table = view.table();
    table.setFocus();
    store->session().setSelection(0);
    const SearchRow first = *store->session().selectedRow();
    const std::string path = first.directory + "/" + first.name;
    const QString name = QString::fromStdString(first.name);

    QTest::keyClick(&table, Qt::Key_F2);
    auto* dialog = view.findChild<RenameDialog*>("renameDialog");
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->field()->selectedText(), name.section('.', 0, 0));
    dialog->field()->setText("report-2.txt");
    dialog->accept();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->problem().contains(name) && dialog->problem().contains("report-2.txt"))
        << dialog->problem().toStdString();
    EXPECT_EQ(test::readFile(home.path("docs/report-2.txt")), std::string(1500, 'x'));
    dialog->field()->setText("renamed.txt");
    dialog->accept();
    EXPECT_TRUE(dialog->isHidden());
    EXPECT_EQ(store->session().selectedRow()->name, "renamed.txt");
    EXPECT_TRUE(std::filesystem::exists(first.directory + "/renamed.txt"));
    auto* notice = view.findChild<ActionNotice*>();
    EXPECT_EQ(notice->text(), QString("“%1” renamed to “renamed.txt”.").arg(name));
    notice->findChild<QPushButton*>("undoFileAction")->click();
    EXPECT_TRUE(notice->isHidden());
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(store->session().selectedRow()->name, first.name);

    auto* field = view.findChild<QLineEdit*>("searchField");
    field->setFocus();
    QStringList proposed;
    view.actions().setSaveChooser([&](QWidget*, const QString& proposal) {
        proposed << proposal;
        return QString::fromStdString(state.path("exports/found.txt"));
    });
    state.dir("exports");
    QSignalSpy exported(&store->actions(), &FileActionCenter::exported);
    QTest::keyClick(field, Qt::Key_E, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return exported.count() == 2; }, patience));
    EXPECT_EQ(proposed,
              (QStringList{QDir::home().filePath("vesko-results.txt"),
                           QString::fromStdString(state.path("exports/vesko-results.txt"))}));
}

TEST_F(MainViewTest, UpInTheEmptyFieldOffersRecentSearches) {
    auto store = startedStore();
    store->actions().searchHistory().record("report-2");
    store->actions().searchHistory().record("report-1");
    ShownView shown(*store);
    MainView& view = shown.view;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    auto* field = view.findChild<QLineEdit*>("searchField");
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Up);
    auto* menu = view.findChild<QMenu*>("searchHistoryMenu");
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, patience));
    ASSERT_TRUE(menu->activeAction());
    EXPECT_EQ(menu->activeAction()->text(), "report-1");
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() > 0; }, patience));
    EXPECT_EQ(field->text(), "report-2");
    EXPECT_EQ(store->session().query(), "report-2");

    menu->findChild<QAction*>("clearHistory")->trigger();
    EXPECT_TRUE(store->actions().searchHistory().queries().isEmpty());
}

// A Down typed before the query's rows come (here a regular expression waits for the last
// keystroke) takes the focus to them when they come; typing on after it, or an answer with
// no rows, leaves the focus in the field.
TEST_F(MainViewTest, ADownTypedBeforeTheRowsComeTakesTheFocusToThem) {
    auto env = environment();
    env.timing.regexDebounce = std::chrono::milliseconds(400);
    auto store = startedStore(env);
    Filters filters;
    filters.useRegex = true;
    store->session().setFilters(filters);
    ShownView shown(*store);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&shown.view));
    auto* field = shown.view.findChild<QLineEdit*>("searchField");
    auto* table = &shown.view.table();
    QSignalSpy answered(&store->session(), &SearchSession::answered);
    const auto typeThenDown = [&](const char* typed, const char* after) {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace); // the rows go once the empty query is answered
        if (!QTest::qWaitFor([&] { return store->session().rowCount() == 0; }, patience))
            return false;
        answered.clear();
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Down);
        QTest::keyClicks(field, after);
        return answered.wait(patience);
    };

    ASSERT_TRUE(typeThenDown("report-1", ""));
    EXPECT_GT(store->session().rowCount(), 0);
    EXPECT_TRUE(table->hasFocus());
    ASSERT_TRUE(typeThenDown("report-2", "9"));
    EXPECT_EQ(store->session().query(), "report-29");
    EXPECT_TRUE(field->hasFocus());
    ASSERT_TRUE(typeThenDown("nothing-here", ""));
    EXPECT_EQ(store->session().rowCount(), 0);
    EXPECT_TRUE(field->hasFocus());
}

// The chip names the folder the search keeps to, its bytes whole in the tooltip; its clear
// button and Backspace in the empty field (not in a field with text, not in the list) go
// back to the whole index.
TEST_F(MainViewTest, TheScopeChipShowsTheFolderAndClearsIt) {
    home.file("docs2/report-x.txt");
    home.file("bad\xFF/report-odd.txt");
    home.file("bad\xEF\xBF\xBD/report-decoy.txt");
    auto store = startedStore();
    ShownView shown(*store);
    MainView& view = shown.view;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    auto* chip = view.findChild<QWidget*>("scopeChip");
    auto* path = view.findChild<QLabel*>("scopePath");
    auto* field = view.findChild<QLineEdit*>("searchField");
    ASSERT_TRUE(chip && path && field);
    EXPECT_FALSE(chip->isVisible());
    QTest::keyClicks(field, "report");
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().totalMatches() == 33; }, patience));

    store->scope().enter(home.path("bad\xFF"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().totalMatches() == 1; }, patience));
    EXPECT_TRUE(chip->isVisible());
    EXPECT_EQ(store->session().row(0).name, "report-odd.txt");
    EXPECT_EQ(path->toolTip(), QString::fromStdString(home.root()) + "/bad\\xFF");
    EXPECT_TRUE(path->text().endsWith("bad\\xFF")) << path->text().toStdString();

    store->scope().enter(home.path("docs"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().totalMatches() == 30; }, patience));
    QTest::keyClick(field, Qt::Key_Backspace); // takes a character, not the folder
    EXPECT_EQ(field->text(), "repor");
    QTest::keyClick(field, Qt::Key_Down);
    ASSERT_TRUE(view.table().hasFocus());
    QTest::keyClick(&view.table(), Qt::Key_Backspace);
    EXPECT_EQ(store->scope().state(), SearchScope::State::inside);
    field->clear();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(store->scope().state(), SearchScope::State::none);
    EXPECT_FALSE(chip->isVisible());

    store->scope().enter(home.path("docs"));
    ASSERT_TRUE(chip->isVisible());
    chip->findChild<QToolButton*>("scopeClear")->click();
    EXPECT_EQ(store->scope().state(), SearchScope::State::none);
    EXPECT_TRUE(store->session().scopePath().empty());

    // A folder outside the index: Cancel while it is read, Add once it is.
    test::TempTree elsewhere;
    elsewhere.file("report-far.txt");
    std::promise<void> gate;
    store->scope().setWalkGate([opened = gate.get_future().share()] { opened.wait(); });
    store->scope().enter(elsewhere.root());
    auto* cancel = chip->findChild<QToolButton*>("scopeCancel");
    auto* add = chip->findChild<QToolButton*>("scopeAdd");
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_FALSE(add->isVisible());
    cancel->click();
    gate.set_value();
    EXPECT_EQ(store->scope().state(), SearchScope::State::none);
    store->scope().setWalkGate({});
    store->scope().enter(elsewhere.root());
    ASSERT_TRUE(QTest::qWaitFor([&] { return add->isVisible(); }, patience));
    EXPECT_FALSE(cancel->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().totalMatches() == 1; }, patience));
}

} // namespace
} // namespace vesko
