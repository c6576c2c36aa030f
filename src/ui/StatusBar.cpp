// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/StatusBar.h"

#include "store/FileActionCenter.h"
#include "store/IndexLifecycle.h"
#include "store/Preferences.h"
#include "store/SearchSession.h"
#include "ui/ResultActions.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QTimer>

namespace vesko {
namespace {

constexpr int copiedMs = 1500;

QString keyText(QKeyCombination key) {
    return QKeySequence(key).toString(QKeySequence::NativeText);
}

// The key the list answers with, else the action's shortcut; without "…", as a hint is no
// menu entry.
StatusBar::Hint hintOf(const QAction* action) {
    const auto listed = ResultActions::listKeys(action);
    const QKeySequence key = listed.isEmpty() ? action->shortcut() : listed.first();
    QString title = action->text();
    title.remove(QChar(u'…'));
    return {title, key.toString(QKeySequence::NativeText)};
}

QString hintHtml(const StatusBar::Hint& hint) {
    return QStringLiteral("%1 <b>%2</b>")
        .arg(hint.first.toHtmlEscaped(), hint.second.toHtmlEscaped());
}

} // namespace

StatusBar::StatusBar(IndexLifecycle& lifecycle, SearchSession& session,
                     FileActionCenter& fileActions, Preferences& preferences, QWidget* parent)
    : QWidget(parent), lifecycle_(lifecycle), session_(session), fileActions_(fileActions),
      preferences_(preferences), left_(new QLabel(this)), right_(new QLabel(this)),
      copied_(new QTimer(this)) {
    setObjectName("statusBar");
    // Both labels are named by what they say, so a screen reader hears the count itself.
    left_->setObjectName("statusText");
    right_->setObjectName("statusHints");
    right_->setTextFormat(Qt::RichText);
    right_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    right_->setForegroundRole(QPalette::PlaceholderText);
    // Both sides give way when the window is narrow; the hints drop their last items.
    left_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    right_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    copied_->setSingleShot(true);
    copied_->setInterval(copiedMs);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 4);
    layout->addWidget(left_, 2);
    layout->addWidget(right_, 3);

    connect(copied_, &QTimer::timeout, this, &StatusBar::followStore);
    connect(&lifecycle_, &IndexLifecycle::isRefreshingChanged, this, &StatusBar::followStore);
    connect(&lifecycle_, &IndexLifecycle::indexChanged, this, &StatusBar::followStore);
    for (auto signal : {&SearchSession::statusChanged, &SearchSession::rowsChanged,
                        &SearchSession::searchedQueryChanged, &SearchSession::queryChanged,
                        &SearchSession::needsReturnChanged, &SearchSession::selectionChanged,
                        &SearchSession::searchAsYouTypeChanged})
        connect(&session_, signal, this, &StatusBar::followStore);
    connect(&preferences_, &Preferences::hotKeyChanged, this, &StatusBar::followStore);
    followStore();
}

void StatusBar::setActions(const ResultActions& actions) {
    actions_ = &actions;
    connect(&fileActions_, &FileActionCenter::undoChanged, this, &StatusBar::layoutHints);
    layoutHints();
}

void StatusBar::setFocusPlace(Focus focus) {
    if (focus == focus_) return;
    focus_ = focus;
    layoutHints();
}

void StatusBar::notePathCopied() {
    copied_->start();
    followStore();
}

QString StatusBar::text() const {
    if (lifecycle_.isRefreshing()) return tr("Rescanning…");
    if (copied_->isActive()) return tr("Path copied");
    const QString searched = session_.searchedQuery();
    if (!session_.searchAsYouType() && !searched.isEmpty() && searched != session_.query() &&
        session_.rowCount() > 0)
        return tr("Showing results for “%1”").arg(searched);
    const auto& progress = lifecycle_.scanProgress();
    if (!progress) return statusText(session_.status());
    const QString scanning = progressText(progress->entries, progress->expected);
    if (session_.status().kind != SearchStatus::Kind::found) return scanning;
    return statusText(session_.status()) + QStringLiteral("  ·  ") + scanning;
}

QString StatusBar::progressText(qint64 entries, qint64 expected) {
    const QLocale locale;
    // A guess shows as one: two significant digits.
    qint64 unit = 1;
    while (expected / unit >= 100)
        unit *= 10;
    expected = (expected + unit / 2) / unit * unit;
    // An estimate the scan has passed says nothing any more.
    if (expected <= entries) return tr("Still indexing: %1").arg(locale.toString(entries));
    return tr("Still indexing: %1 of about %2")
        .arg(locale.toString(entries), locale.toString(expected));
}

QString StatusBar::statusText(const SearchStatus& status) {
    const QLocale locale;
    const auto grouped = [&](qint64 count) { return locale.toString(count); };
    using Kind = SearchStatus::Kind;
    switch (status.kind) {
    case Kind::none:
        return {};
    case Kind::building:
        return tr("Building index…");
    case Kind::buildFailed:
        return tr("The index could not be built: %1").arg(status.detail);
    case Kind::items:
        return tr("%1 items").arg(grouped(status.entries));
    case Kind::ready:
        return tr("%1 items · %2")
            .arg(grouped(status.entries))
            .arg(QString::asprintf("%.1fs", status.seconds));
    case Kind::found:
        break;
    }
    if (status.nearMatches)
        return status.found == 1 ? tr("No results for “%1”. Showing 1 near match").arg(status.query)
                                 : tr("No results for “%1”. Showing %2 near matches")
                                       .arg(status.query, grouped(status.found));
    QString text = tr("%1 found").arg(grouped(status.found));
    if (!status.readContents) return text;
    text += QStringLiteral("  ·  ") + tr("read %1 files").arg(grouped(status.examined));
    if (status.skippedBinary > 0)
        text +=
            QStringLiteral("  ·  ") + tr("%1 binary skipped").arg(grouped(status.skippedBinary));
    if (status.truncated > 0)
        text += QStringLiteral("  ·  ⚠️ ") +
                tr("%1 too large - only the first 32MB was read").arg(grouped(status.truncated));
    if (status.hitLimit)
        text += QStringLiteral("  ·  ⚠️ ") + tr("stopped early - narrow the name first");
    return text;
}

std::vector<StatusBar::Hint> StatusBar::hints() const {
    std::vector<Hint> hints;
    if (focus_ == Focus::list && session_.selectedRow() && actions_) {
        using Command = ResultActions::Command;
        for (Command command :
             {Command::preview, Command::open, Command::reveal, Command::copyPath})
            hints.push_back(hintOf(actions_->action(command)));
        if (fileActions_.lastUndo()) hints.push_back(hintOf(actions_->action(Command::undo)));
        hints.push_back({tr("Back to Search"), keyText(Qt::Key_Escape)});
    } else if (focus_ == Focus::query) {
        if (session_.needsReturn())
            hints.push_back({tr("Update"), keyText(Qt::Key_Return)});
        else
            hints.push_back({tr("Browse Results"), keyText(Qt::Key_Down)});
    }
    hints.push_back({tr("Show Window"), preferences_.hotKey().description()});
    return hints;
}

void StatusBar::followStore() {
    const QString now = text();
    left_->setText(now);
    left_->setToolTip(now);
    left_->setAccessibleName(now);
    layoutHints();
}

void StatusBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) followStore();
    QWidget::changeEvent(event);
}

void StatusBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutHints();
}

// As many hints as fit, the first ones first: they are the keys for where the focus is.
void StatusBar::layoutHints() {
    const auto all = hints();
    QFont bold = right_->font();
    bold.setBold(true);
    const QFontMetrics metrics(right_->font());
    const QFontMetrics boldMetrics(bold);
    const int gap = metrics.horizontalAdvance(QStringLiteral("     "));
    const int room = right_->width() - 4;
    QString html;
    QStringList spoken;
    int used = 0;
    for (const Hint& hint : all) {
        const int width = metrics.horizontalAdvance(hint.first + u' ') +
                          boldMetrics.horizontalAdvance(hint.second) + gap;
        if (used + width > room && !html.isEmpty()) break;
        if (!html.isEmpty()) html += QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;");
        html += hintHtml(hint);
        spoken << hint.first + u' ' + hint.second;
        used += width;
    }
    right_->setText(html);
    // The markup is for the eye; a reader gets the same hints as plain words.
    right_->setAccessibleName(spoken.join(QStringLiteral(", ")));
}

} // namespace vesko
