// SPDX-License-Identifier: MIT
#include "ui/IconCache.h"

#include "store/StoreTasks.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace vesko {
namespace {

// Loads run on a pool of their own, as the store's would run them.
struct Loader {
    QObject home;
    StoreTasks tasks{&home};
};

SearchRow fileRow(const std::string& name) {
    SearchRow row;
    row.name = name;
    row.directory = "/home/user";
    return row;
}

// Rows of one key must cost one load and show the very same icon; arrivals are announced
// (how many times depends on how they were spread over the pool's threads).
TEST(IconCache, RowsOfOneKeyShareOneLoad) {
    struct Group {
        std::vector<std::string> names;
    };
    const Group groups[] = {
        {{"a.txt", "b.TXT", "notes.tXt"}},
        {{".bashrc", "README", "trailing."}}, // no extension: one shared icon
        {{"backup.tar.gz", "log.gz"}},
    };
    Loader loader;
    IconCache cache(loader.tasks);
    QSignalSpy changed(&cache, &IconCache::iconsChanged);
    for (const Group& group : groups)
        for (const std::string& name : group.names)
            cache.request(fileRow(name));
    EXPECT_EQ(cache.loadsStarted(), qint64(std::size(groups)));
    EXPECT_TRUE(cache.icon(fileRow("a.txt")).isNull()) << "not loaded yet";

    loader.tasks.waitForDone();
    QCoreApplication::sendPostedEvents(); // the results arrive
    QCoreApplication::sendPostedEvents(); // and are announced
    for (const Group& group : groups) {
        const QIcon first = cache.icon(fileRow(group.names.front()));
        ASSERT_FALSE(first.isNull()) << group.names.front();
        for (const std::string& name : group.names)
            EXPECT_EQ(cache.icon(fileRow(name)).cacheKey(), first.cacheKey()) << name;
    }
    EXPECT_NE(cache.icon(fileRow("a.txt")).cacheKey(), cache.icon(fileRow("README")).cacheKey());
    EXPECT_GE(changed.count(), 1);
    EXPECT_LE(changed.count(), qsizetype(std::size(groups)));

    cache.request(fileRow("again.txt"));
    EXPECT_EQ(cache.loadsStarted(), qint64(std::size(groups)))
        << "a loaded key is not loaded again";
}

TEST(IconCache, FoldersNeedNoLoadAndClearForgetsFiles) {
    Loader loader;
    IconCache cache(loader.tasks);
    SearchRow folder = fileRow("photos.d");
    folder.isDirectory = true;
    EXPECT_FALSE(cache.icon(folder).isNull());
    cache.request(folder);
    EXPECT_EQ(cache.loadsStarted(), 0);

    cache.request(fileRow("a.txt"));
    cache.clear(); // e.g. the icon theme changed while the load was on its way
    loader.tasks.waitForDone();
    QCoreApplication::sendPostedEvents(); // the load's result is delivered
    EXPECT_TRUE(cache.icon(fileRow("a.txt")).isNull()) << "a load from before clear() arrived";
    cache.request(fileRow("a.txt"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !cache.icon(fileRow("a.txt")).isNull(); }, 30'000));
}

} // namespace
} // namespace vesko
