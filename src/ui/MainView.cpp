// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MainView.h"

#include "store/IndexStore.h"
#include "ui/ActionNotice.h"
#include "ui/ActionProblemText.h"
#include "ui/ContentState.h"
#include "ui/DetailBar.h"
#include "ui/IconCache.h"
#include "ui/PreviewWindow.h"
#include "ui/ProblemNotice.h"
#include "ui/QuickFilterBar.h"
#include "ui/ResultActions.h"
#include "ui/ResultModel.h"
#include "ui/ResultTable.h"
#include "ui/SandboxNotice.h"
#include "ui/ScopeChip.h"
#include "ui/SearchBar.h"
#include "ui/SidebarView.h"
#include "ui/StatePage.h"
#include "ui/StatusBar.h"
#include "ui/WatchNotice.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

#include <utility>

namespace vesko {
namespace {

QFrame* rule(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

MainView::MainView(IndexStore& store, PreviewWindow& preview, QWidget* parent)
    : QWidget(parent), store_(store), preview_(preview), icons_(new IconCache(store.tasks(), this)),
      model_(new ResultModel(store.session(), store.preferences(), icons_, this)),
      searchBar_(new SearchBar(store.session(), store.actions(), store.preferences(), this)),
      sidebar_(new SidebarView(store.lifecycle(), store.session(), store.actions(),
                               store.settings(), this)),
      content_(new QStackedWidget(this)), statePage_(new StatePage(store.session(), content_)),
      table_(new ResultTable(store.session(), store.actions(), store.preferences(), preview,
                             *model_, this)),
      actions_(new ResultActions(store.session(), store.actions(), store.settings(), preview,
                                 *table_, *this)),
      detailBar_(new DetailBar(store.session(), store.actions(), store.preferences(), this)),
      statusBar_(new StatusBar(store.lifecycle(), store.session(), store.actions(),
                               store.preferences(), this)) {
    setObjectName("mainView");
    table_->setActions(*actions_);
    statusBar_->setActions(*actions_);
    searchBar_->field()->installEventFilter(this);
    content_->addWidget(statePage_);
    content_->addWidget(buildResultsPage());

    // The quick filters stay above the list and above the "no results" page, where a
    // person most needs to see (and undo) what narrowed the answer.
    auto* results = new QWidget(this);
    auto* resultsLayout = new QVBoxLayout(results);
    resultsLayout->setContentsMargins(0, 0, 0, 0);
    resultsLayout->setSpacing(0);
    resultsLayout->addWidget(new QuickFilterBar(store_.session(), results));
    resultsLayout->addWidget(content_, 1);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(sidebar_);
    splitter->addWidget(results);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 900});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(searchBar_);
    layout->addWidget(new ScopeChip(store_.scope(), store_.preferences(), this));
    layout->addWidget(new SandboxNotice(store_.lifecycle(), this));
    layout->addWidget(new WatchNotice(store_.lifecycle(), this));
    layout->addWidget(new ProblemNotice(store_.problems(), this));
    layout->addWidget(new ActionNotice(store_.actions(), this));
    layout->addWidget(splitter, 1);
    layout->addWidget(rule(this));
    layout->addWidget(detailBar_);
    layout->addWidget(rule(this));
    layout->addWidget(statusBar_);

    connect(actions_, &ResultActions::pathCopied, statusBar_, &StatusBar::notePathCopied);
    connect(detailBar_, &DetailBar::pathCopied, statusBar_, &StatusBar::notePathCopied);
    connect(&store_.lifecycle(), &IndexLifecycle::phaseChanged, this, &MainView::followContent);
    for (auto signal : {&SearchSession::queryChanged, &SearchSession::rowsChanged,
                        &SearchSession::isSearchingContentsChanged,
                        &SearchSession::needsReturnChanged, &SearchSession::filtersChanged})
        connect(&store_.session(), signal, this, &MainView::followContent);
    connect(&store_.actions(), &FileActionCenter::actionProblemChanged, this,
            &MainView::followActionProblem);
    connect(&store_.actions(), &FileActionCenter::openNeedsConfirmation, this,
            &MainView::confirmOpen);
    connect(&store_.preferences(), &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String("showSidebar")) followSidebar();
    });
    connectFocus();
    retranslate();
    followSidebar();
}

void MainView::retranslate() {
    setAccessibleName(tr("Search"));
    sidebar_->setAccessibleName(tr("Filters"));
    followContent();
}

void MainView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        actions_->retranslate();
    }
    QWidget::changeEvent(event);
}

QWidget* MainView::buildResultsPage() {
    auto* page = new QWidget(content_);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(table_, 1);
    return page;
}

MainView::~MainView() {
    disconnect(focusFollower_);
}

// The field would take Ctrl+E as "end of line"; in this window it exports, as the menu says.
// Backspace in the empty field takes away the folder the search is limited to, as it takes
// away a character: the last thing that narrowed the search.
bool MainView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == searchBar_->field() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Backspace &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier &&
        searchBar_->field()->text().isEmpty() &&
        store_.scope().state() != SearchScope::State::none) {
        store_.scope().clear();
        return true;
    }
    if (watched == searchBar_->field() && event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        if (actions_->action(ResultActions::Command::exportResults)->shortcuts().contains(pressed))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MainView::connectFocus() {
    connect(searchBar_, &SearchBar::listWanted, this, &MainView::focusList);
    connect(&store_.session(), &SearchSession::queryChanged, this, [this] { listWanted_ = false; });
    connect(&store_.session(), &SearchSession::answered, this, [this] {
        if (std::exchange(listWanted_, false) && searchBar_->field()->hasFocus()) focusList();
    });
    connect(table_, &ResultTable::searchFieldWanted, this, &MainView::focusSearch);
    focusFollower_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            if (now == searchBar_->field())
                statusBar_->setFocusPlace(StatusBar::Focus::query);
            else if (now == table_)
                statusBar_->setFocusPlace(StatusBar::Focus::list);
            else if (!now || !isAncestorOf(now))
                statusBar_->setFocusPlace(StatusBar::Focus::none);
        });
}

void MainView::focusSearch() {
    searchBar_->field()->setFocus(Qt::ShortcutFocusReason);
    searchBar_->field()->selectAll();
}

// A Down typed before the query's first rows came (a quick typist, a content search, a
// regular expression waiting for the last keystroke) takes the focus to them when they
// come, unless the person typed on meanwhile.
void MainView::focusList() {
    if (contentStateOf(store_.lifecycle(), store_.session()) != ContentState::results) {
        listWanted_ = store_.session().isAnswerPending();
        return;
    }
    table_->setFocus(Qt::ShortcutFocusReason);
}

void MainView::followContent() {
    const ContentState state = contentStateOf(store_.lifecycle(), store_.session());
    if (state == ContentState::results) {
        content_->setCurrentIndex(1);
    } else {
        statePage_->showState(state);
        content_->setCurrentIndex(0);
    }
}

void MainView::followSidebar() {
    sidebar_->setVisible(store_.preferences().showSidebar());
}

void MainView::followActionProblem() {
    const ActionProblems& problems = store_.actions().actionProblems();
    if (problems.empty()) {
        if (problem_) problem_->hide();
        return;
    }
    if (!problem_) {
        problem_ = new QMessageBox(QMessageBox::Warning, tr("Could not complete that"),
                                   tr("Could not complete that"), QMessageBox::Ok, this);
        problem_->setObjectName("actionProblem");
        problem_->button(QMessageBox::Ok)->setText(tr("OK"));
        connect(problem_, &QMessageBox::finished, this,
                [this] { store_.actions().dismissActionProblems(); });
    }
    const QString problem = ActionProblemText::text(problems);
    problem_->setInformativeText(problem);
    problem_->setAccessibleDescription(problem);
    problem_->open();
}

// Asked without blocking, so the window keeps drawing; the answer opens what is marked then.
void MainView::confirmOpen(qint64 count) {
    if (!openMany_) {
        openMany_ = new QMessageBox(QMessageBox::Question, QString(), QString(),
                                    QMessageBox::Open | QMessageBox::Cancel, this);
        openMany_->setObjectName("openManyQuestion");
        openMany_->button(QMessageBox::Open)->setText(tr("Open"));
        openMany_->button(QMessageBox::Cancel)->setText(tr("Cancel"));
        openMany_->setDefaultButton(QMessageBox::Cancel);
        connect(openMany_, &QMessageBox::finished, this, [this](int answer) {
            if (answer == QMessageBox::Open) store_.actions().openSelectedConfirmed();
        });
    }
    const QString question = tr("Open %1 items?").arg(QLocale().toString(count));
    openMany_->setWindowTitle(question);
    openMany_->setText(question);
    openMany_->setInformativeText(tr("Each one opens in its default application."));
    openMany_->open();
}

} // namespace vesko
