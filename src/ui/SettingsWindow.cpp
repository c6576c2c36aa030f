// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SettingsWindow.h"

#include "store/IndexLifecycle.h"
#include "store/Localization.h"
#include "store/Preferences.h"
#include "store/SearchSession.h"
#include "ui/SettingsPages.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>

#include <algorithm>

namespace vesko {
namespace {

QIcon sectionIcon(int row, const QStyle* style) {
    static const std::pair<const char*, QStyle::StandardPixmap> icons[] = {
        {"preferences-system", QStyle::SP_ComputerIcon},
        {"view-list-details", QStyle::SP_FileDialogDetailedView},
        {"view-list-text", QStyle::SP_FileDialogListView},
        {"preferences-desktop-locale", QStyle::SP_DriveNetIcon},
        {"preferences-desktop-theme", QStyle::SP_DesktopIcon},
        {"drive-harddisk", QStyle::SP_DriveHDIcon}};
    const auto& [name, fallback] = icons[row];
    return QIcon::fromTheme(QLatin1String(name), style->standardIcon(fallback));
}

QWidget* scrolled(QWidget* page) {
    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    return scroll;
}

} // namespace

const std::vector<QString>& SettingsWindow::sections() {
    static const std::vector<QString> names{"general", "results",    "columns",
                                            "locale",  "appearance", "index"};
    return names;
}

SettingsWindow::SettingsWindow(IndexLifecycle& lifecycle, SearchSession& session,
                               Preferences& preferences, Localization& localization,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), lifecycle_(lifecycle), session_(session),
      preferences_(preferences), localization_(localization), list_(new QListWidget(this)),
      pages_(new QStackedWidget(this)) {
    setObjectName("settingsWindow");
    list_->setObjectName("settingsSections");
    list_->setIconSize(QSize(20, 20));
    list_->setFixedWidth(190);
    const std::vector<SettingsPage*> pages{general_ = new GeneralPage(session_, preferences_),
                                           new ResultsPage(session_, preferences_),
                                           new ColumnsPage(preferences_),
                                           new LocalePage(preferences_, localization_),
                                           new AppearancePage(preferences_),
                                           new IndexPage(lifecycle_)};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        pages[i]->setObjectName(sections()[i] + "Page");
        pages[i]->translate();
        pages_->addWidget(scrolled(pages[i]));
        auto* item = new QListWidgetItem(sectionIcon(static_cast<int>(i), style()), QString());
        item->setSizeHint(QSize(0, 32));
        list_->addItem(item);
    }
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(list_);
    layout->addWidget(pages_, 1);
    resize(720, 520);
    auto* close = new QShortcut(this);
    close->setObjectName("closeSettings");
    QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    if (!closeKeys.contains(QKeySequence(QStringLiteral("Ctrl+W"))))
        closeKeys << QKeySequence(QStringLiteral("Ctrl+W"));
    close->setKeys(closeKeys);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0) return;
        pages_->setCurrentIndex(row);
        preferences_.setSettingsSection(sections()[row]);
    });
    // A preference can change from a menu or the tray while the window is open.
    connect(&preferences_, &Preferences::changed, this, &SettingsWindow::syncPages);
    for (auto signal : {&SearchSession::searchAsYouTypeChanged, &SearchSession::foldersFirstChanged,
                        &SearchSession::pageSizeChanged})
        connect(&session_, signal, this, &SettingsWindow::syncPages);
    connect(&localization_, &Localization::languageChanged, this, &SettingsWindow::retranslate);
    retranslate();
    showSection(preferences_.settingsSection());
}

void SettingsWindow::setTrayProblem(const QString& problem) {
    general_->setTrayProblem(problem);
}

void SettingsWindow::setHotKeyProblem(const QString& problem) {
    general_->setHotKeyProblem(problem);
}

void SettingsWindow::present() {
    showSection(preferences_.settingsSection());
    if (!isVisible()) centreOverParent();
    show();
    raise();
    activateWindow();
}

void SettingsWindow::centreOverParent() {
    const QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
    if (!over || !over->isVisible()) return;
    QRect frame = frameGeometry();
    frame.moveCenter(over->frameGeometry().center());
    move(frame.topLeft());
}

// Escape that no page used for itself (a key recorder, an open list) closes the window.
void SettingsWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsWindow::showSection(const QString& section) {
    const auto it = std::ranges::find(sections(), section);
    list_->setCurrentRow(it == sections().end() ? 0 : static_cast<int>(it - sections().begin()));
}

void SettingsWindow::syncPages() {
    for (auto* page : findChildren<SettingsPage*>())
        page->sync();
}

void SettingsWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void SettingsWindow::retranslate() {
    setWindowTitle(tr("Settings"));
    const QString titles[] = {tr("General"),           tr("Results"),    tr("Columns"),
                              tr("Language & Region"), tr("Appearance"), tr("Index")};
    for (int row = 0; row < list_->count(); ++row) {
        list_->item(row)->setText(titles[row]);
        list_->item(row)->setData(Qt::AccessibleTextRole, titles[row]);
    }
    list_->setAccessibleName(tr("Settings sections"));
}

} // namespace vesko
