// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SettingsPages.h"

#include "store/IndexLifecycle.h"
#include "store/Localization.h"
#include "store/SearchSession.h"
#include "ui/DisplayText.h"
#include "ui/ExclusionsView.h"
#include "ui/HotKeyRecorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <iterator>

namespace vesko {
namespace {

constexpr std::array<double, 3> textSizes{11, 12, 14};

template <typename Enum, std::size_t N>
int positionOf(const std::array<std::pair<Enum, std::string_view>, N>& cases, Enum value) {
    const auto it = std::ranges::find(cases, value, &std::pair<Enum, std::string_view>::first);
    return it == cases.end() ? 0 : static_cast<int>(std::distance(cases.begin(), it));
}

} // namespace

// ---- SettingsPage ----

SettingsPage::SettingsPage(const char* context, QWidget* parent)
    : QWidget(parent), texts_(context), layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(20, 16, 20, 16);
    layout_->setSpacing(14);
    layout_->addStretch();
}

QVBoxLayout* SettingsPage::group(const char* source) {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    if (source) {
        auto* title = new QLabel(box);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        texts_.text(title, source);
        layout->addWidget(title);
    }
    layout_->insertWidget(layout_->count() - 1, box);
    return layout;
}

QLabel* SettingsPage::note(QVBoxLayout* layout, const char* source) {
    auto* label = new QLabel(this);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    if (source) texts_.text(label, source);
    layout->addWidget(label);
    return label;
}

QCheckBox* SettingsPage::check(QVBoxLayout* layout, const char* name, const char* source,
                               std::function<bool()> get, std::function<void(bool)> set) {
    auto* box = new QCheckBox(this);
    box->setObjectName(name);
    texts_.text(box, source);
    layout->addWidget(box);
    connect(box, &QCheckBox::toggled, this, std::move(set));
    syncs_.push_back([box, get = std::move(get)] {
        const QSignalBlocker blocker(box);
        box->setChecked(get());
    });
    return box;
}

QComboBox* SettingsPage::choice(QVBoxLayout* layout, const char* name, const char* source,
                                std::function<int()> get, std::function<void(int)> set) {
    // Pickers of one group share a form, so their fields line up.
    auto* form = layout->count() > 0
                     ? qobject_cast<QFormLayout*>(layout->itemAt(layout->count() - 1)->layout())
                     : nullptr;
    if (!form) {
        form = new QFormLayout;
        form->setContentsMargins(0, 0, 0, 0);
        form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
        layout->addLayout(form);
    }
    auto* box = new QComboBox(this);
    box->setObjectName(name);
    // Items are reworded in place on a language switch; the box grows with them.
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* label = new QLabel(this);
    texts_.text(label, source, box);
    form->addRow(label, box);
    connect(box, &QComboBox::activated, this, std::move(set));
    syncs_.push_back([box, get = std::move(get)] {
        const QSignalBlocker blocker(box);
        box->setCurrentIndex(get());
    });
    return box;
}

void SettingsPage::sync() {
    refresh();
    for (const auto& read : syncs_)
        read();
}

void SettingsPage::translate() {
    texts_.apply();
    retranslate();
}

void SettingsPage::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        translate();
        sync();
    }
    QWidget::changeEvent(event);
}

void SettingsPage::showEvent(QShowEvent* event) {
    sync();
    QWidget::showEvent(event);
}

// ---- General ----

GeneralPage::GeneralPage(SearchSession& session, Preferences& preferences, QWidget* parent)
    : SettingsPage("vesko::GeneralPage", parent) {
    Preferences* prefs = &preferences;
    SearchSession* search = &session;
    QVBoxLayout* searching = group(QT_TR_NOOP("Searching"));
    check(
        searching, "searchAsYouType", QT_TR_NOOP("Search as you type"),
        [search] { return search->searchAsYouType(); },
        [search](bool on) { search->setSearchAsYouType(on); });
    note(searching, QT_TR_NOOP("Off: press Return to search."));

    QVBoxLayout* shortcut = group(QT_TR_NOOP("Shortcut"));
    // The recorder shows its own complaint and the registration problem below it.
    recorder_ = new HotKeyRecorder(preferences, this);
    shortcut->addWidget(recorder_);
    note(shortcut, QT_TR_NOOP("Vesko keeps running, so the index stays in memory."));

    QVBoxLayout* login = group();
    login_ = check(
        login, "openAtLogin", QT_TR_NOOP("Open at Login"),
        [this] { return loginItem_ == LoginItem::State::on; },
        [this](bool on) { setLoginItem(on); });
    note(login,
         QT_TR_NOOP("Vesko keeps the index in memory, so it only helps if it's already running."));
    loginReason_ = note(login, nullptr);
    loginProblem_ = new QLabel(this);
    loginProblem_->setObjectName("loginItemProblem");
    loginProblem_->setWordWrap(true);
    login->addWidget(loginProblem_);

    QVBoxLayout* presence = group();
    check(
        presence, "showInMenuBar", QT_TR_NOOP("Show icon in the system tray"),
        [prefs] { return prefs->showInMenuBar(); },
        [prefs](bool on) { prefs->setShowInMenuBar(on); });
    // Where the desktop has no tray the setting stays, but says why nothing shows.
    trayProblem_ = new QLabel(this);
    trayProblem_->setObjectName("trayProblem");
    trayProblem_->setWordWrap(true);
    presence->addWidget(trayProblem_);
    check(
        presence, "hideFromDock", QT_TR_NOOP("Hide from the taskbar when closed"),
        [prefs] { return prefs->hideFromDock(); },
        [prefs](bool on) { prefs->setHideFromDock(on); });
    note(presence, QT_TR_NOOP("Comes back with the shortcut or the tray icon. Quit with Ctrl+Q."));
}

void GeneralPage::showEvent(QShowEvent* event) {
    // The autostart file can change behind our back: another session, a settings tool.
    loginItem_ = LoginItem::state();
    SettingsPage::showEvent(event);
}

void GeneralPage::setLoginItem(bool on) {
    const auto failure = LoginItem::set(on);
    loginItemProblem_ = failure ? QString::fromStdString(*failure) : QString();
    loginItem_ = LoginItem::state();
    sync();
}

void GeneralPage::setTrayProblem(const QString& problem) {
    trayProblemText_ = problem;
    sync();
}

void GeneralPage::setHotKeyProblem(const QString& problem) {
    recorder_->setProblem(problem);
}

void GeneralPage::refresh() {
    const bool unavailable = loginItem_ == LoginItem::State::unavailable;
    login_->setEnabled(!unavailable);
    loginReason_->setVisible(unavailable);
    loginProblem_->setText(loginItemProblem_);
    loginProblem_->setVisible(!loginItemProblem_.isEmpty());
    trayProblem_->setText(trayProblemText_);
    trayProblem_->setVisible(!trayProblemText_.isEmpty());
    retranslate();
}

void GeneralPage::retranslate() {
    loginReason_->setText(tr("Unavailable: the autostart folder cannot be written."));
}

// ---- Results ----

ResultsPage::ResultsPage(SearchSession& session, Preferences& preferences, QWidget* parent)
    : SettingsPage("vesko::ResultsPage", parent) {
    Preferences* prefs = &preferences;
    SearchSession* search = &session;
    QVBoxLayout* results = group(QT_TR_NOOP("Results"));
    check(
        results, "foldersFirst", QT_TR_NOOP("Show folders first"),
        [search] { return search->foldersFirst(); },
        [search](bool on) { search->setFoldersFirst(on); });
    check(
        results, "closeAfterOpen", QT_TR_NOOP("Hide window after opening"),
        [prefs] { return prefs->closeAfterOpen(); },
        [prefs](bool on) { prefs->setCloseAfterOpen(on); });
    check(
        results, "initialConsonants",
        QT_TR_NOOP("Match Korean initial consonants (ㅂㄱㅅ finds 보고서)"),
        [prefs] { return prefs->initialConsonants(); },
        [prefs](bool on) { prefs->setInitialConsonants(on); });

    QVBoxLayout* sizes = group();
    auto* textSize = choice(
        sizes, "listTextSize", QT_TR_NOOP("Text size"),
        [prefs] {
            const auto it = std::ranges::find(textSizes, prefs->listTextSize());
            return it == textSizes.end() ? 1 : static_cast<int>(it - textSizes.begin());
        },
        [prefs](int i) { prefs->setListTextSize(textSizes[i]); });
    texts_.items(textSize, {QT_TR_NOOP("Small"), QT_TR_NOOP("Medium"), QT_TR_NOOP("Large")});
    auto* rows = choice(
        sizes, "resultLimit", QT_TR_NOOP("Rows at a time"),
        [search] {
            const auto it = std::ranges::find(Paging::allowedSizes, search->pageSize());
            return it == std::end(Paging::allowedSizes)
                       ? 0
                       : static_cast<int>(it - std::begin(Paging::allowedSizes));
        },
        [search](int i) { search->setPageSize(Paging::allowedSizes[i]); });
    for (std::int64_t size : Paging::allowedSizes)
        rows->addItem(QLocale().toString(size));
}

// ---- Columns ----

ColumnsPage::ColumnsPage(Preferences& preferences, QWidget* parent)
    : SettingsPage("vesko::ColumnsPage", parent) {
    Preferences* prefs = &preferences;
    QVBoxLayout* columns = group(QT_TR_NOOP("Columns visible in the results"));
    QCheckBox* name = check(
        columns, "showName", QT_TR_NOOP("Name"), [] { return true; }, [](bool) {});
    name->setEnabled(false);
    using Get = bool (Preferences::*)() const;
    using Set = void (Preferences::*)(bool);
    const auto column = [&](const char* key, const char* source, Get get, Set set) {
        check(
            columns, key, source, [prefs, get] { return (prefs->*get)(); },
            [prefs, set](bool on) { (prefs->*set)(on); });
    };
    column("showFullPath", QT_TR_NOOP("Full Path"), &Preferences::showFullPath,
           &Preferences::setShowFullPath);
    column("showKind", QT_TR_NOOP("Kind"), &Preferences::showKind, &Preferences::setShowKind);
    column("showSize", QT_TR_NOOP("Size"), &Preferences::showSize, &Preferences::setShowSize);
    column("showModified", QT_TR_NOOP("Modified"), &Preferences::showModified,
           &Preferences::setShowModified);
    column("showCreated", QT_TR_NOOP("Created"), &Preferences::showCreated,
           &Preferences::setShowCreated);
    column("showAccessed", QT_TR_NOOP("Last Opened"), &Preferences::showAccessed,
           &Preferences::setShowAccessed);
    note(columns,
         QT_TR_NOOP("The full path is always shown for the selected item below the list."));
}

// ---- Language & Region ----

LocalePage::LocalePage(Preferences& preferences, Localization& localization, QWidget* parent)
    : SettingsPage("vesko::LocalePage", parent), localization_(localization) {
    Preferences* prefs = &preferences;
    QVBoxLayout* language = group();
    language_ = choice(
        language, "language", QT_TR_NOOP("Language"),
        [this] {
            const auto choices = localization_.choices();
            const QString current = Localization::Choice{localization_.language(), {}}.identity();
            const auto it = std::ranges::find(choices, current, &Localization::Choice::identity);
            return it == choices.end() ? 0 : static_cast<int>(it - choices.begin());
        },
        [this](int i) { localization_.setLanguage(localization_.choices().at(i).code); });

    QVBoxLayout* dates = group();
    dateStyle_ = choice(
        dates, "dateStyle", QT_TR_NOOP("Date format"),
        [prefs] { return positionOf(Preferences::dateStyles, prefs->dateStyle()); },
        [prefs](int i) { prefs->setDateStyle(Preferences::dateStyles[i].first); });
    note(dates,
         QT_TR_NOOP("Dates in a result list are scanned, not read. Pick what you skim fastest."));

    QVBoxLayout* paths = group();
    pathBar_ = choice(
        paths, "pathBarStyle", QT_TR_NOOP("Path bar"),
        [prefs] { return positionOf(Preferences::pathBarStyles, prefs->pathBarStyle()); },
        [prefs](int i) { prefs->setPathBarStyle(Preferences::pathBarStyles[i].first); });
    note(paths, QT_TR_NOOP("Copying always puts the real path on the clipboard."));
}

void LocalePage::refresh() {
    // Item texts carry today's samples and the current language, so they are re-read here.
    const QSignalBlocker a(language_), b(dateStyle_), c(pathBar_);
    language_->clear();
    for (const Localization::Choice& choice : localization_.choices())
        language_->addItem(choice.code ? choice.endonym : tr("System language"));
    const QDateTime now = QDateTime::currentDateTime();
    dateStyle_->clear();
    for (const auto& [style, raw] : Preferences::dateStyles)
        dateStyle_->addItem(DisplayText::label(style) + QStringLiteral("  -  ") +
                            DisplayText::sample(style, now));
    pathBar_->clear();
    for (const auto& [style, raw] : Preferences::pathBarStyles)
        pathBar_->addItem(DisplayText::label(style));
}

// ---- Appearance ----

AppearancePage::AppearancePage(Preferences& preferences, QWidget* parent)
    : SettingsPage("vesko::AppearancePage", parent) {
    Preferences* prefs = &preferences;
    appearance_ = choice(
        group(), "appearance", QT_TR_NOOP("Appearance"),
        [prefs] { return positionOf(Preferences::appearances, prefs->appearance()); },
        [prefs](int i) { prefs->setAppearance(Preferences::appearances[i].first); });
}

void AppearancePage::refresh() {
    const QSignalBlocker blocker(appearance_);
    appearance_->clear();
    for (const auto& [appearance, raw] : Preferences::appearances)
        appearance_->addItem(DisplayText::label(appearance));
}

// ---- Index ----

IndexPage::IndexPage(IndexLifecycle& lifecycle, QWidget* parent)
    : SettingsPage("vesko::IndexPage", parent) {
    group()->addWidget(new ExclusionsView(lifecycle, ExclusionsView::List::added, this));
    QVBoxLayout* excluded = group();
    excluded->addWidget(new ExclusionsView(lifecycle, this));
    note(excluded, QT_TR_NOOP("Folders listed here are left out of the index."));
    note(group(),
         QT_TR_NOOP("The index is always on and follows the filesystem. Nothing to schedule."));
}

} // namespace vesko
