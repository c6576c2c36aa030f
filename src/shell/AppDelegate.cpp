// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/AppDelegate.h"

#include "shell/HotKey.h"
#include "shell/MainMenu.h"
#include "shell/SessionBus.h"
#include "shell/StartupTrace.h"
#include "store/ShownText.h"
#include "ui/MainView.h"
#include "ui/PreviewWindow.h"
#include "ui/SettingsWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QInputDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

namespace vesko {
namespace {

constexpr const char* geometryKey = "VeskoMain";

QPointer<AppDelegate>& sharedDelegate() {
    static QPointer<AppDelegate> delegate;
    return delegate;
}

// The style the desktop chose, kept so that "system" can return to it after a forced
// light or dark appearance switched to Fusion.
QString& desktopStyle() {
    static QString name;
    return name;
}

void applyAppearance(Appearance appearance) {
    if (desktopStyle().isEmpty()) desktopStyle() = QApplication::style()->name();
    const QString wanted =
        appearance == Appearance::system ? desktopStyle() : QStringLiteral("fusion");
    if (QApplication::style()->name().compare(wanted, Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(wanted));
    Preferences::apply(appearance);
}

QIcon trayIcon() {
    return QIcon::fromTheme(
        QStringLiteral("app.vesko.Vesko"),
        QIcon::fromTheme(QStringLiteral("system-search"),
                         QApplication::style()->standardIcon(QStyle::SP_FileDialogContentsView)));
}

} // namespace

AppDelegate::AppDelegate(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)),
      store_(std::make_unique<IndexStore>(options_.environment)),
      localization_(std::make_unique<Localization>(store_->settings())),
      preview_(std::make_unique<PreviewWindow>(store_->session(), store_->tasks())) {
    sharedDelegate() = this;
}

AppDelegate::~AppDelegate() {
    // The menu and the windows refer to the store; they go first.
    menu_.reset();
    settingsWindow_.reset();
    mainWindow_.reset();
    trayIcon_.reset();
    trayMenu_.reset();
    hotKey_.reset();
    preview_.reset();
}

AppDelegate* AppDelegate::shared() {
    return sharedDelegate().data();
}

void AppDelegate::launch() {
    Preferences& preferences = store_->preferences();
    applyAppearance(preferences.appearance());
    connect(&preferences, &Preferences::appearanceChanged, this, applyAppearance);
    connect(&preferences, &Preferences::hotKeyChanged, this, &AppDelegate::registerHotKey);
    connect(&preferences, &Preferences::menuBarChanged, this, &AppDelegate::setMenuBarIcon);
    connect(localization_.get(), &Localization::languageChanged, this,
            &AppDelegate::languageChanged);
    connect(&store_->actions(), &FileActionCenter::hideRequested, this, &AppDelegate::hideApp);
    connect(&store_->session(), &SearchSession::rowsChanged, this, [this] {
        // Clearing the rows at start is no search; the first query's rows are, also when
        // they come from the part of a first scan read so far.
        if (!store_->session().query().isEmpty()) StartupTrace::mark("first search ready");
    });
    connect(&store_->lifecycle(), &IndexLifecycle::indexReplaced, this,
            [this](IndexLifecycle::Change change) {
                // With nothing typed, the first part of a first scan makes the window
                // searchable (a whole index counts once the window shows, below).
                if (change == IndexLifecycle::Change::partial &&
                    store_->session().query().isEmpty())
                    StartupTrace::mark("first search ready");
            });
    connect(&store_->lifecycle(), &IndexLifecycle::buildInstalled, this,
            [] { StartupTrace::mark("first scan installed"); });
    // The tray asks the session bus, which may be slow; the window comes first.
    QTimer::singleShot(0, this, [this] { setMenuBarIcon(store_->preferences().showInMenuBar()); });
    registerHotKey(preferences.hotKey());
    makeWindow();
    StartupTrace::mark("window made");
    if (!options_.startHidden) show();
    StartupTrace::mark("show called");
    // The window manager maps the window while the archive loads; the first frame is drawn
    // when the loop runs again, with the index already searchable.
    store_->lifecycle().start();
    StartupTrace::mark(store_->lifecycle().phase() == IndexLifecycle::Phase::ready
                           ? "archive loaded"
                           : "index building");
}

QMainWindow& AppDelegate::mainWindow() {
    if (!mainWindow_) makeWindow();
    return *mainWindow_;
}

void AppDelegate::makeWindow() {
    if (mainWindow_) return;
    mainWindow_ = std::make_unique<QMainWindow>();
    mainWindow_->setWindowTitle(QStringLiteral("Vesko"));
    mainView_ = new MainView(*store_, *preview_);
    mainWindow_->setCentralWidget(mainView_);
    mainWindow_->setMinimumSize(900, 480);
    mainWindow_->resize(1180, 760);
    const auto saved = QByteArray::fromBase64(store_->settings().text(geometryKey).c_str());
    if (saved.isEmpty() || !mainWindow_->restoreGeometry(saved)) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = mainWindow_->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            mainWindow_->move(frame.topLeft());
        }
    }
    mainWindow_->installEventFilter(this);
    menu_ = std::make_unique<MainMenu>(*mainWindow_, *this, store_->lifecycle(), store_->session(),
                                       store_->actions(), store_->preferences());
    menu_->install();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (mainWindow_ && watched == mainWindow_.get()) {
        if (event->type() == QEvent::Close) {
            // Closing only hides: the index stays in memory for the next search.
            event->ignore();
            hideApp();
            return true;
        }
        if (event->type() == QEvent::WindowStateChange && !showing_ &&
            (static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized) &&
            !mainWindow_->isMinimized()) {
            // Restored from the taskbar: ready to type, as when shown any other way.
            focusSearch();
        }
        if (event->type() == QEvent::Hide || event->type() == QEvent::Move ||
            event->type() == QEvent::Resize) {
            if (mainWindow_->isVisible() || event->type() == QEvent::Hide)
                store_->settings().setText(geometryKey,
                                           mainWindow_->saveGeometry().toBase64().toStdString());
        }
    } else if (mainWindow_ && watched == mainWindow_->windowHandle() &&
               event->type() == QEvent::Expose) {
        StartupTrace::mark("window shown");
        if (store_->lifecycle().phase() == IndexLifecycle::Phase::ready &&
            store_->session().query().isEmpty())
            StartupTrace::mark("first search ready");
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::show() {
    QMainWindow& window = mainWindow();
    showing_ = true;
    if (window.isMinimized()) window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    showing_ = false;
    window.show();
    if (QWindow* handle = window.windowHandle()) handle->installEventFilter(this);
    window.raise();
    window.activateWindow();
    applyInitialSearch();
    focusSearch();
}

void AppDelegate::focusSearch() {
    if (mainView_) mainView_->focusSearch();
    emit focusRequested();
}

void AppDelegate::focusList() {
    if (mainView_) mainView_->focusList();
}

void AppDelegate::setTrayProblem(const QString& problem) {
    trayProblem_ = problem;
    if (settingsWindow_) settingsWindow_->setTrayProblem(problem);
}

void AppDelegate::setHotKeyProblem(const QString& problem) {
    hotKeyProblem_ = problem;
    if (settingsWindow_) settingsWindow_->setHotKeyProblem(problem);
}

void AppDelegate::hideApp() {
    if (!mainWindow_) return;
    // Hidden from the taskbar, only the tray icon, the hot key or a second `vesko` bring
    // the window back; otherwise it stays in the taskbar, minimized.
    if (store_->preferences().hideFromDock())
        mainWindow_->hide();
    else
        mainWindow_->showMinimized();
}

void AppDelegate::toggleWindow() {
    QMainWindow& window = mainWindow();
    if (window.isVisible() && !window.isMinimized() && window.isActiveWindow())
        hideApp();
    else
        show();
}

void AppDelegate::showRequested(const QByteArray& activationToken) {
    // Qt's Wayland plugin reads the token when the window is activated; without it the
    // compositor would only mark the window as wanting attention.
    if (!activationToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken);
    show();
}

void AppDelegate::searchInRequested(const QByteArray& folder, const QByteArray& activationToken) {
    showRequested(activationToken);
    store_->scope().enter(folder.toStdString());
    focusSearch();
}

void AppDelegate::setMenuBarIcon(bool shown) {
    if (!shown) {
        trayIcon_.reset();
        trayMenu_.reset();
        setTrayProblem({});
        return;
    }
    if (!SessionBus::answers()) {
        setTrayProblem(tr("The desktop's session bus does not answer, so the tray icon "
                          "cannot be shown."));
        return;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        setTrayProblem(tr("This desktop has no system tray, so the icon cannot be shown."));
        return;
    }
    setTrayProblem({});
    if (trayIcon_) return;
    trayIcon_ = std::make_unique<QSystemTrayIcon>(trayIcon());
    trayIcon_->setToolTip(QStringLiteral("Vesko"));
    connect(trayIcon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) show();
            });
    // The icon's menu reaches the window and quitting even while the window is hidden.
    trayMenu_ = std::make_unique<QMenu>();
    trayMenu_->addAction(tr("Show %1").arg(QStringLiteral("Vesko")), this, &AppDelegate::show);
    trayMenu_->addSeparator();
    trayMenu_->addAction(tr("Quit %1").arg(QStringLiteral("Vesko")), this, &AppDelegate::quit);
    trayIcon_->setContextMenu(trayMenu_.get());
    trayIcon_->show();
}

void AppDelegate::registerHotKey(const HotKeySetting& setting) {
    hotKey_ = std::make_unique<HotKey>(setting);
    connect(hotKey_.get(), &HotKey::activated, this, &AppDelegate::toggleWindow);
    connect(hotKey_.get(), &HotKey::failed, this, &AppDelegate::setHotKeyProblem);
    setHotKeyProblem(hotKey_->registerKey() ? QString() : hotKey_->problem());
}

void AppDelegate::applyInitialSearch() {
    if (initialSearchApplied_) return;
    initialSearchApplied_ = true;
    if (options_.initialContents) {
        Filters filters = store_->session().filters();
        filters.contentQuery = options_.initialContents->toStdString();
        store_->session().setFilters(filters);
    }
    if (options_.initialScope) store_->scope().enter(*options_.initialScope);
    if (options_.initialQuery) store_->session().setQuery(*options_.initialQuery);
}

void AppDelegate::openSettings() {
    if (!settingsWindow_) {
        // A child window of the main one: the window manager keeps it above and centred on it.
        settingsWindow_ =
            std::make_unique<SettingsWindow>(store_->lifecycle(), store_->session(),
                                             store_->preferences(), *localization_, &mainWindow());
        settingsWindow_->setWindowTitle(tr("Settings"));
        settingsWindow_->setTrayProblem(trayProblem_);
        settingsWindow_->setHotKeyProblem(hotKeyProblem_);
    }
    settingsWindow_->present();
}

void AppDelegate::openExclusions() {
    store_->preferences().setSettingsSection(QStringLiteral("index"));
    openSettings();
}

void AppDelegate::showAbout() {
    QMessageBox::about(
        mainWindow_.get(), tr("About %1").arg(QStringLiteral("Vesko")),
        QStringLiteral("<b>Vesko %1</b><p>%2</p>")
            .arg(QApplication::applicationVersion(),
                 tr("Every file and folder name in your home folder and the volumes you add, "
                    "found as you type.")));
}

void AppDelegate::checkForUpdates() {
    QMessageBox::information(
        mainWindow_.get(), tr("Check for Updates…"),
        tr("This is Vesko %1. On Linux, Vesko is updated by your package manager together "
           "with the rest of your software.")
            .arg(QApplication::applicationVersion()));
}

void AppDelegate::saveCurrentSearch() {
    if (store_->session().query().isEmpty()) return;
    QInputDialog dialog(mainWindow_.get());
    dialog.setWindowTitle(tr("Save Current Search…"));
    dialog.setLabelText(tr("Name:"));
    dialog.setOkButtonText(tr("Save"));
    dialog.setCancelButtonText(tr("Cancel"));
    if (dialog.exec() != QDialog::Accepted) return;
    const QString name = dialog.textValue().trimmed();
    if (!name.isEmpty()) store_->actions().saveCurrentSearch(name);
}

void AppDelegate::applySavedSearch(int index) {
    const auto& saved = store_->actions().savedSearches();
    if (index < 0 || static_cast<std::size_t>(index) >= saved.size()) return;
    store_->actions().apply(saved[static_cast<std::size_t>(index)]);
    show();
}

void AppDelegate::quit() {
    // Not QApplication::quit: that first asks every window to close, and the main window
    // refuses (closing only hides it), which would cancel the quit.
    QCoreApplication::exit(0);
}

void AppDelegate::languageChanged() {
    if (menu_) menu_->install();
    if (settingsWindow_) settingsWindow_->setWindowTitle(tr("Settings"));
    if (mainWindow_) mainWindow_->setWindowTitle(QStringLiteral("Vesko"));
    if (!trayProblem_.isEmpty()) setMenuBarIcon(true);
}

bool AppDelegate::saveBeforeExit() {
    if (mainWindow_ && mainWindow_->isVisible())
        store_->settings().setText(geometryKey,
                                   mainWindow_->saveGeometry().toBase64().toStdString());
    return store_->saveBeforeExit();
}

} // namespace vesko
