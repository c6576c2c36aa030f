// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/IconCache.h"

#include "store/StoreTasks.h"
#include "support/TempTree.h"
#include "ui/FallbackIcons.h"

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
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
// (how many times depends on how they were spread over the pool's threads). Folders need no
// load, and clear() forgets the files' icons, even one still on its way.
TEST(IconCache, RowsOfOneKeyShareOneLoadAndClearForgetsThem) {
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
    SearchRow folder = fileRow("photos.d");
    folder.isDirectory = true;
    EXPECT_FALSE(cache.icon(folder).isNull());
    cache.request(folder);
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

    cache.request(fileRow("new.pdf"));
    cache.clear(); // e.g. the icon theme changed while the load was on its way
    loader.tasks.waitForDone();
    QCoreApplication::sendPostedEvents(); // the load's result is delivered
    EXPECT_TRUE(cache.icon(fileRow("new.pdf")).isNull()) << "a load from before clear() arrived";
    EXPECT_TRUE(cache.icon(fileRow("a.txt")).isNull());
    cache.request(fileRow("new.pdf"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !cache.icon(fileRow("new.pdf")).isNull(); }, 30'000));
}

// A theme that knows only plain text: text files (source code too, whose generic icon is
// plain text's) get its icon, the other families Vesko's drawn ones, each its own, never the
// blank page of a missing icon.
TEST(IconCache, TypesTheThemeLacksGetADrawnIconOfTheirFamily) {
    test::TempTree tree;
    tree.file("icons/sparse/index.theme",
              "[Icon Theme]\nName=sparse\nDirectories=16\n[16]\nSize=16\nType=Fixed\n");
    tree.dir("icons/sparse/16");
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(QString::fromStdString(tree.path("icons/sparse/16/text-x-generic.png"))));
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString themeName = QIcon::themeName();
    QIcon::setThemeSearchPaths({QString::fromStdString(tree.path("icons"))});
    QIcon::setThemeName("sparse");

    Loader loader;
    IconCache cache(loader.tasks);
    const char* names[] = {"notes.txt", "photo.png", "song.mp3", "backup.zip", "tool.py"};
    for (const char* name : names)
        cache.request(fileRow(name));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(std::begin(names), std::end(names),
                               [&](const char* n) { return !cache.icon(fileRow(n)).isNull(); });
        },
        30'000));
    const auto pixels = [](const QIcon& icon) { return icon.pixmap(16).toImage(); };
    for (const char* text : {"notes.txt", "tool.py"})
        EXPECT_EQ(pixels(cache.icon(fileRow(text))).pixelColor(8, 8), QColor(Qt::red)) << text;
    using F = FallbackIcons::Family;
    EXPECT_EQ(pixels(cache.icon(fileRow("photo.png"))), pixels(FallbackIcons::icon(F::image)));
    EXPECT_EQ(pixels(cache.icon(fileRow("song.mp3"))), pixels(FallbackIcons::icon(F::audio)));
    EXPECT_EQ(pixels(cache.icon(fileRow("backup.zip"))), pixels(FallbackIcons::icon(F::archive)));
    EXPECT_NE(pixels(FallbackIcons::icon(F::image)), pixels(FallbackIcons::icon(F::plain)));

    QIcon::setThemeName(themeName);
    QIcon::setThemeSearchPaths(searchPaths);
}

} // namespace
} // namespace vesko
