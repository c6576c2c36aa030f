// SPDX-License-Identifier: GPL-3.0-or-later
// A store over a private temporary home, archive and preferences, with short timers and
// hand-driven clocks, and a way to wait for its background work without fixed sleeps.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "scan/FileSystemWatcher.h"
#include "scan/IndexBuilder.h"
#include "scan/Volumes.h"
#include "search/Search.h"
#include "store/IndexStore.h"
#include "support/TempTree.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace vesko::test {

// Generous: only a hang guard, never a speed claim.
inline constexpr int patience = 30'000;

struct ManualClocks {
    std::atomic<std::int64_t> steadyOffsetMs{0};
    std::atomic<double> wall{1'700'000'000.0};

    void advance(std::chrono::seconds by) {
        steadyOffsetMs += std::chrono::duration_cast<std::chrono::milliseconds>(by).count();
        wall = wall + static_cast<double>(by.count());
    }
};

// Holds a scan where it hands a part over, until the test opens it.
struct ScanGate {
    std::mutex lock;
    std::condition_variable opened;
    bool isOpen = false;
    void wait() {
        std::unique_lock guard(lock);
        opened.wait(guard, [&] { return isOpen; });
    }
    void open() {
        std::lock_guard guard(lock);
        isOpen = true;
        opened.notify_all();
    }
};

class StoreFixture : public ::testing::Test {
protected:
    StoreFixture() { home.dir("docs"); }

    StoreEnvironment environment() {
        StoreEnvironment env;
        env.home = home.root();
        env.settingsPath = state.path("vesko.conf");
        env.archivePath = [this](const std::vector<std::string>&) { return archive(); };
        env.mountInfoPath = state.file("mountinfo");
        env.mountedVolumes = [this] { return volumes; };
        env.maxUserWatchesPath = state.file("max_user_watches", "8192\n");
        env.buildWorkers = 2;
        env.watchFileSystem = false;
        env.timing.flushDelay = std::chrono::milliseconds(20);
        env.timing.regexDebounce = std::chrono::milliseconds(50);
        env.timing.contentDebounce = std::chrono::milliseconds(70);
        // Periodic timers stay out of the way; tests call their ticks directly.
        env.timing.watchdogInterval = std::chrono::hours(24);
        env.timing.reaperInterval = std::chrono::hours(24);
        env.timing.steadyNow = [this] {
            return std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(clocks.steadyOffsetMs.load());
        };
        env.timing.wallNow = [this] { return clocks.wall.load(); };
        return env;
    }

    std::string archive() const { return state.path("index.veskoindex"); }

    std::unique_ptr<IndexStore> makeStore(StoreEnvironment env) {
        return std::make_unique<IndexStore>(std::move(env));
    }
    std::unique_ptr<IndexStore> makeStore() { return makeStore(environment()); }

    // Starts the store and waits until an index is installed.
    std::unique_ptr<IndexStore> startedStore(StoreEnvironment env) {
        auto store = makeStore(std::move(env));
        store->lifecycle().start();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return store->lifecycle().phase() == IndexLifecycle::Phase::ready; }, patience));
        return store;
    }
    std::unique_ptr<IndexStore> startedStore() { return startedStore(environment()); }
    // Starts the store with the watcher on and waits until it sees every change.
    std::unique_ptr<IndexStore> watchingStore(StoreEnvironment env) {
        env.watchFileSystem = true;
        auto store = startedStore(std::move(env));
        EXPECT_TRUE(QTest::qWaitFor([&] { return store->lifecycle().isWatching(); }, patience));
        return store;
    }

    // Sets the query and waits for its rows.
    static void searchFor(IndexStore& store, const QString& query) {
        QSignalSpy rows(&store.session(), &SearchSession::rowsChanged);
        store.session().setQuery(query);
        ASSERT_TRUE(rows.wait(patience) || rows.count() > 0) << query.toStdString();
    }
    static void researchAndWait(IndexStore& store) {
        QSignalSpy rows(&store.session(), &SearchSession::rowsChanged);
        store.session().search();
        ASSERT_TRUE(rows.wait(patience) || rows.count() > 0);
    }
    // Lets every search, read and save started so far finish and hand back its result, so a
    // check that something did not happen needs no sleep.
    static void finishTasks(IndexStore& store) {
        store.tasks().waitForDone();
        QCoreApplication::sendPostedEvents();
    }
    static bool waitForBatch(IndexStore&, QSignalSpy& applied, int count) {
        return QTest::qWaitFor([&] { return applied.count() >= count; }, patience);
    }
    static std::vector<std::string> rowNames(const IndexStore& store) {
        std::vector<std::string> names;
        for (const SearchRow& row : store.session().rows(0, store.session().rowCount()))
            names.push_back(row.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    TempTree home;
    TempTree state;
    ManualClocks clocks;
    std::vector<Volume> volumes;
};

} // namespace vesko::test
