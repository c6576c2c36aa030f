// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/WindowedApp.h"

#include "shell/AppDelegate.h"
#include "shell/FindService.h"
#include "shell/SearchProviders.h"
#include "shell/SessionBus.h"
#include "shell/SingleInstance.h"
#include "shell/StartupTrace.h"
#include "shell/TerminationSignals.h"

#include <QApplication>
#include <QSessionManager>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>

namespace vesko::WindowedApp {

const char* const noDisplayText =
    "vesko: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); the command-line modes "
    "still work, see vesko --help\n";

namespace {

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && value[0] != '\0') return true;
    }
    return false;
}

// How long a later start waits for the owner of the lock to listen (it may have just taken
// the lock and still be starting), and then for its answer (it may be loading its archive).
constexpr auto listenPatience = std::chrono::seconds(15);
constexpr auto answerPatience = std::chrono::seconds(5);
constexpr auto retryPause = std::chrono::milliseconds(40);

enum class Start { owner, handedOver, ownerSilent, alone };

std::string requestFor(const Launch& launch) {
    const char* token = std::getenv("XDG_ACTIVATION_TOKEN");
    if (launch.searchIn) return InstanceSocket::searchInRequest(*launch.searchIn, token);
    std::string request = launch.hidden ? "ping" : "show";
    if (token && !launch.hidden) request += std::string(" ") + token;
    return request;
}

// Takes the lock and so the socket, or hands the request to the Vesko that holds it. While
// another holds the lock its socket may not be there yet: the request is tried again until
// the owner listens or lets the lock go.
Start claimOrHandOver(const std::string& socket, InstanceLock& lock, const Launch& launch) {
    const std::string request = requestFor(launch);
    const auto deadline = std::chrono::steady_clock::now() + listenPatience;
    for (;;) {
        if (lock.take()) return Start::owner;
        if (lock.error() != 0) {
            std::fprintf(stderr, "vesko: cannot lock %s (%s); running without a single instance\n",
                         SingleInstance::lockPath(socket).c_str(), std::strerror(lock.error()));
            return Start::alone;
        }
        switch (SingleInstance::send(socket, request, answerPatience)) {
        case SingleInstance::Handover::delivered:
            return Start::handedOver;
        case SingleInstance::Handover::rejected:
            std::fprintf(stderr, "vesko: the running Vesko did not understand the request\n");
            return Start::handedOver;
        case SingleInstance::Handover::unanswered:
            return Start::ownerSilent;
        case SingleInstance::Handover::foreign:
        case SingleInstance::Handover::nobodyListening:
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) return Start::ownerSilent;
        std::this_thread::sleep_for(retryPause);
    }
}

AppDelegate::Options optionsFor(const Launch& launch) {
    AppDelegate::Options options;
    options.startHidden = launch.hidden;
    options.environment.devRoot = launch.devRoot;
    options.environment.devSelect = launch.devSelect;
    if (launch.devQuery) options.initialQuery = QString::fromStdString(*launch.devQuery);
    if (launch.devContents) options.initialContents = QString::fromStdString(*launch.devContents);
    options.initialScope = launch.searchIn;
    return options;
}

int runApplication(const Launch& launch, const std::optional<std::string>& socket) {
    // QApplication keeps references to argc and argv for its whole life.
    static std::vector<std::string> storage = launch.arguments;
    static std::vector<char*> argv;
    for (auto& argument : storage)
        argv.push_back(argument.data());
    static int argc = static_cast<int>(argv.size());
    QApplication application(argc, argv.data());
    QApplication::setApplicationName(QStringLiteral("vesko"));
    QApplication::setApplicationVersion(QStringLiteral(VESKO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("app.vesko.Vesko"));
    QApplication::setQuitOnLastWindowClosed(false);
    StartupTrace::mark("QApplication made");

    TerminationSignals termination;
    // exit rather than quit, which would first ask the windows to close, and ours refuse.
    QObject::connect(&termination, &TerminationSignals::requested, &application,
                     [] { QCoreApplication::exit(0); });
    // Listening before anything loads: a later start's request waits in the socket's queue
    // until the loop runs, instead of finding no socket.
    SingleInstance instance;
    if (socket && !instance.listen(*socket))
        std::fprintf(stderr, "vesko: no single instance: %s\n",
                     instance.problem().toLocal8Bit().constData());
    AppDelegate delegate(optionsFor(launch));
    QObject::connect(&instance, &SingleInstance::showRequested, &delegate,
                     &AppDelegate::showRequested);
    QObject::connect(&instance, &SingleInstance::searchInRequested, &delegate,
                     &AppDelegate::searchInRequested);
    instance.setStatus([&delegate] {
        switch (delegate.store().lifecycle().phase()) {
        case IndexLifecycle::Phase::idle:
            return QByteArray("idle");
        case IndexLifecycle::Phase::building:
            return QByteArray("building");
        case IndexLifecycle::Phase::ready:
            return QByteArray("ready");
        }
        return QByteArray("unknown");
    });
    FindService find(delegate.store());
    find.attach(instance);
    SearchProviders providers(delegate.store(), [&delegate](const QString& text) {
        delegate.show();
        delegate.store().session().setQuery(text);
        delegate.focusSearch();
    });
    if (!providers.publish(QDBusConnection::sessionBus()) &&
        QDBusConnection::sessionBus().isConnected())
        std::fprintf(stderr, "vesko: no search in the desktop's launcher: %s\n",
                     providers.problem().toLocal8Bit().constData());
    // Logging out may take the display away before the loop ends: save while the session
    // manager waits for us; the loop's end saves again if it still comes.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &delegate,
                     [&delegate](QSessionManager&) { delegate.saveBeforeExit(); });
    delegate.launch();
    QApplication::exec();
    const bool saved = delegate.saveBeforeExit();
    // The window is gone: what the last save could not do is said here.
    for (const StoreProblem& problem : delegate.store().problems().list())
        if (problem.kind == StoreProblem::Kind::settingsNotSaved)
            std::fprintf(stderr, "vesko: the settings could not be saved to %s\n",
                         qPrintable(problem.detail));
    if (!saved) {
        // Destroying the store would wait for the save that overran; the archive on disk is
        // still the previous, whole one.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}

} // namespace

int run(const Launch& launch) {
    StartupTrace::mark("main entered");
    if (!hasDisplay()) {
        std::fputs(noDisplayText, stderr);
        return 1;
    }
    const auto socket = SingleInstance::socketPath();
    std::optional<InstanceLock> lock;
    if (socket) {
        lock.emplace(SingleInstance::lockPath(*socket));
        switch (claimOrHandOver(*socket, *lock, launch)) {
        case Start::owner:
            break;
        case Start::handedOver:
            return 0;
        case Start::ownerSilent:
            std::fprintf(stderr,
                         "vesko: the running Vesko (process %ld) does not answer; not starting "
                         "a second one\n",
                         lock->ownerProcess());
            return 1;
        case Start::alone:
            lock.reset();
            break;
        }
    }
    if (!SessionBus::answers()) {
        // Qt waits for the bus without a limit (accessibility connects while the first
        // window is built); pointed at nothing, every bus call fails at once instead.
        std::fputs("vesko: the session bus does not answer; going on without it\n", stderr);
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null");
    }
    return runApplication(launch, lock ? socket : std::nullopt);
}

} // namespace vesko::WindowedApp
