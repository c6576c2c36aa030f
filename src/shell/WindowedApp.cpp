// SPDX-License-Identifier: MIT
#include "shell/WindowedApp.h"

#include "shell/AppDelegate.h"
#include "shell/FindService.h"
#include "shell/SearchProviders.h"
#include "shell/SessionBus.h"
#include "shell/SingleInstance.h"
#include "shell/StartupTrace.h"
#include "store/TerminationSignals.h"

#include <QApplication>
#include <QSessionManager>

#include <cstdio>
#include <cstdlib>

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

// True when a running Vesko took the request, so this start has nothing left to do.
bool handedOver(const std::string& socket, bool hidden) {
    std::string request = hidden ? "ping" : "show";
    if (const char* token = std::getenv("XDG_ACTIVATION_TOKEN"); token && !hidden)
        request += std::string(" ") + token;
    switch (SingleInstance::send(socket, request)) {
    case SingleInstance::Handover::delivered:
        return true;
    case SingleInstance::Handover::rejected:
        std::fprintf(stderr, "vesko: the running Vesko did not understand the request\n");
        return true;
    case SingleInstance::Handover::foreign:
        std::fprintf(stderr, "vesko: %s is not ours; running without a single instance\n",
                     socket.c_str());
        return false;
    case SingleInstance::Handover::nobodyListening:
        return false;
    }
    return false;
}

AppDelegate::Options optionsFor(const Launch& launch) {
    AppDelegate::Options options;
    options.startHidden = launch.hidden;
    options.environment.devRoot = launch.devRoot;
    options.environment.devSelect = launch.devSelect;
    if (launch.devQuery) options.initialQuery = QString::fromStdString(*launch.devQuery);
    if (launch.devContents) options.initialContents = QString::fromStdString(*launch.devContents);
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
    AppDelegate delegate(optionsFor(launch));
    SingleInstance instance;
    if (socket && !instance.listen(*socket))
        std::fprintf(stderr, "vesko: no single instance: %s\n",
                     instance.problem().toLocal8Bit().constData());
    QObject::connect(&instance, &SingleInstance::showRequested, &delegate,
                     &AppDelegate::showRequested);
    instance.setStatus([&delegate] {
        switch (delegate.store().phase()) {
        case IndexStore::Phase::idle:
            return QByteArray("idle");
        case IndexStore::Phase::building:
            return QByteArray("building");
        case IndexStore::Phase::ready:
            return QByteArray("ready");
        }
        return QByteArray("unknown");
    });
    FindService find(delegate.store());
    find.attach(instance);
    SearchProviders providers(delegate.store(), [&delegate](const QString& text) {
        delegate.show();
        delegate.store().setQuery(text);
        delegate.store().requestFocus();
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
    if (!delegate.saveBeforeExit()) {
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
    if (socket && handedOver(*socket, launch.hidden)) return 0;
    if (!SessionBus::answers()) {
        // Qt waits for the bus without a limit (accessibility connects while the first
        // window is built); pointed at nothing, every bus call fails at once instead.
        std::fputs("vesko: the session bus does not answer; going on without it\n", stderr);
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null");
    }
    return runApplication(launch, socket);
}

} // namespace vesko::WindowedApp
