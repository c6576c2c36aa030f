// SPDX-License-Identifier: GPL-3.0-or-later
// bench_window ROOT [--archive PATH] [--repeat K] [--use SECONDS]: the search screen over
// ROOT's index, typing "report" one key at a time. Each key is timed from its key event to
// the result list painted with that key's rows; prints the median from the third key on.
// Then keeps typing, clearing and scrolling for --use seconds (60 by default) and prints
// the resident size, which is what a window left open for a while holds. Runs on whatever
// Qt platform is set (offscreen by default).
#include "BenchSupport.h"

#include "index/IndexArchive.h"
#include "scan/IndexBuilder.h"
#include "store/IndexStore.h"
#include "ui/MainView.h"
#include "ui/PreviewWindow.h"
#include "ui/ResultTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>

#include <cstdio>
#include <filesystem>

using namespace vesko::bench;

namespace {

bool runUntil(const std::function<bool()>& done, int seconds = 600) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > seconds * 1000LL) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

vesko::StoreEnvironment environment(const std::string& root, const std::string& archive) {
    vesko::StoreEnvironment env;
    env.devRoot = root;
    env.archivePath = [archive](const std::vector<std::string>&) { return archive; };
    env.settingsPath = archive + ".conf";
    env.watchFileSystem = false;
    env.timing.maximumAge = 1e12; // one start measured; no rebuild for an old archive
    return env;
}

// Milliseconds from the key event to the list painted with the rows it asked for.
double typeKey(vesko::IndexStore& store, QLineEdit& field, vesko::ResultTable& table, QChar key) {
    bool published = false;
    auto connection = QObject::connect(&store.session(), &vesko::SearchSession::rowsChanged,
                                       [&] { published = true; });
    const auto start = Clock::now();
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
    QApplication::sendEvent(&field, &press);
    runUntil([&] { return published; });
    table.viewport()->repaint();
    const double ms = millisecondsSince(start);
    QObject::disconnect(connection);
    return ms;
}

// Queries of the shapes a user mixes in a minute: short, Korean, a path, one with no
// hits; each followed by a scroll to the end of the rows shown.
void keepUsing(vesko::IndexStore& store, QLineEdit& field, vesko::ResultTable& table, int seconds) {
    // No spaces: a trailing one normalises to the previous query and starts no search.
    const QString queries[] = {QStringLiteral("rep"),    QStringLiteral("pdf"),
                               QStringLiteral("보고서"), QStringLiteral("src/"),
                               QStringLiteral("a"),      QStringLiteral("zzqqxx")};
    const auto start = Clock::now();
    for (std::size_t i = 0; millisecondsSince(start) < seconds * 1000.0; ++i) {
        field.clear();
        for (QChar key : queries[i % std::size(queries)])
            typeKey(store, field, table, key);
        table.scrollToBottom();
        table.viewport()->repaint();
        QCoreApplication::processEvents();
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string archive = "/tmp/vesko-bench-window/index.veskoindex";
    int repeat = 5;
    int use = 60;
    auto root = Options("bench_window ROOT [--archive PATH] [--repeat K] [--use SECONDS]")
                    .text("--archive", archive)
                    .count("--repeat", repeat)
                    .count("--use", use)
                    .parse(argc, argv);
    if (!root) return 2;
    std::filesystem::create_directories(std::filesystem::path(archive).parent_path());
    printLoad();

    vesko::IndexStore store(environment(*root, archive));
    store.lifecycle().start();
    if (!runUntil([&] { return store.lifecycle().phase() == vesko::IndexLifecycle::Phase::ready; }))
        return 1;
    std::printf("index ready: %lld entries\n",
                static_cast<long long>(store.lifecycle().entryCount()));
    vesko::PreviewWindow preview(store.session(), store.tasks());
    vesko::MainView view(store, preview);
    view.resize(1180, 760);
    view.show();
    runUntil([] { return true; });
    auto* field = view.findChild<QLineEdit*>("searchField");
    Timings fromThird, cpuFromThird;
    for (int round = 0; round < repeat; ++round) {
        field->clear();
        store.session().setQuery(QString());
        const QString word = QStringLiteral("report");
        for (int i = 0; i < word.size(); ++i) {
            const double cpuStart = processMilliseconds();
            const double ms = typeKey(store, *field, view.table(), word[i]);
            if (i < 2) continue;
            fromThird.add(ms);
            cpuFromThird.add(processMilliseconds() - cpuStart);
        }
    }
    std::printf("key to painted list, typing \"report\", keys 3-6 of %d rounds: %s\n", repeat,
                fromThird.summary("ms", 2).c_str());
    // What a busy machine's waiting leaves out: every thread's processor time, search included.
    std::printf("  processor time of the process per key: %s\n",
                cpuFromThird.summary("ms", 2).c_str());
    std::printf("rows shown: %lld of %lld matches\n",
                static_cast<long long>(store.session().rowCount()),
                static_cast<long long>(store.session().totalMatches()));
    std::printf("resident after typing: %lld MiB\n", residentKib() / 1024);
    keepUsing(store, *field, view.table(), use);
    std::printf("resident after %d s of use: %lld MiB (peak %lld MiB)\n", use, residentKib() / 1024,
                peakResidentKib() / 1024);
    return 0;
}
