// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PreviewWindow.h"
#include "ui/DisplayText.h"

#include "store/SharedThumbnails.h"
#include "store/StoreFixture.h"
#include "support/ScopedEnv.h"
#include "ui/IconCache.h"
#include "ui/PreviewContent.h"
#include "ui/ResultModel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPlainTextEdit>

namespace vesko {
namespace {

class PreviewWindowTest : public test::StoreFixture {
protected:
    // Shows `path` (the window opens on the first call) and waits until it is on screen.
    void showAndWait(PreviewWindow& window, const std::string& path) {
        QSignalSpy shown(&window, &PreviewWindow::contentShown);
        window.isShown() ? window.follow(path) : window.toggle(path);
        ASSERT_TRUE(shown.wait(test::patience)) << path;
    }
    static QString label(const PreviewWindow& window, const char* name) {
        return window.findChild<QLabel*>(name)->text();
    }
    static bool showing(const PreviewWindow& window, const char* name) {
        return window.findChild<QWidget*>(name)->isVisibleTo(&window);
    }
};

// Images are scaled to fit their box; of a text, only its start is read.
TEST_F(PreviewWindowTest, ImagesAndTextsShowWhatFits) {
    struct Case {
        QSize stored;
        QSize shown;
    };
    // The second is larger than the box: decoded at reduced size, aspect kept.
    const Case cases[] = {{{600, 300}, {600, 300}}, {{4096, 1024}, {2048, 512}}};
    auto store = makeStore();
    PreviewWindow window(store->session(), store->tasks());
    for (const Case& c : cases) {
        QImage image(c.stored, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const std::string path = home.path("photo-" + std::to_string(c.stored.width()) + ".png");
        ASSERT_TRUE(image.save(QString::fromStdString(path)));
        showAndWait(window, path);
        ASSERT_TRUE(showing(window, "previewImage"));
        EXPECT_EQ(window.windowTitle(), QString::fromStdString(path).section('/', -1));
        const QImage shown = PreviewContent::read(path).image;
        EXPECT_EQ(shown.size(), c.shown);
    }

    // Two-byte characters after one ASCII byte: the read limit falls inside a character.
    std::string text = "x";
    for (int i = 0; i < 200'000; ++i)
        text += "\xc3\xa9";
    showAndWait(window, home.file("notes.txt", text));
    ASSERT_TRUE(showing(window, "previewText"));
    const QString shown = window.findChild<QPlainTextEdit*>("previewText")->toPlainText();
    EXPECT_EQ(shown.size(), 1 + (PreviewContent::textLimit - 1) / 2);
    EXPECT_FALSE(shown.contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(showing(window, "previewTruncated"));

    showAndWait(window, home.file("short.conf", "key=value\n"));
    EXPECT_FALSE(showing(window, "previewTruncated"));

    // A name that is not UTF-8 shows its own file, not the one its repaired name names.
    home.file("twin\xEF\xBF\xBD.txt", "repaired twin");
    showAndWait(window, home.file("twin\xFF.txt", "mine"));
    EXPECT_EQ(window.findChild<QPlainTextEdit*>("previewText")->toPlainText(), "mine");
    EXPECT_EQ(window.windowTitle(), "twin\\xFF.txt");
}

TEST_F(PreviewWindowTest, OtherItemsShowIconKindAndSize) {
    const std::string binary = home.file("bundle.zip", std::string("PK\x03\x04\0\0\0\0\x01", 9));
    home.file("box/a");
    home.file("box/.hidden");
    home.dir("box/sub");
    struct Case {
        std::string path;
        QString kind;
        QString size; // empty: no size line
    };
    const Case cases[] = {
        {binary, QMimeDatabase().mimeTypeForFile(QString::fromStdString(binary)).comment(),
         DisplayText::sizeText(9)},
        {home.path("box"), "Folder", "3 items"},
        {home.path("gone.txt"), "Item no longer exists", ""},
    };
    auto store = makeStore();
    PreviewWindow window(store->session(), store->tasks());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        showAndWait(window, c.path);
        ASSERT_TRUE(showing(window, "previewKind"));
        EXPECT_EQ(label(window, "previewKind"), c.kind);
        EXPECT_EQ(showing(window, "previewSize") ? label(window, "previewSize") : "", c.size);
        EXPECT_TRUE(showing(window, "previewIcon"));
    }
}

// The desktop's shared thumbnail of a video or document shows in the preview, found by the
// name's stored bytes, and only while it was made from the file as it is now.
TEST_F(PreviewWindowTest, OtherFilesShowTheDesktopsThumbnailWhileItMatchesTheFile) {
    EXPECT_EQ(SharedThumbnails::uriOf("/home/u/My File&\xC3\xBC\xFF.mp4"),
              "file:///home/u/My%20File&%C3%BC%FF.mp4"); // as GLib writes it
    const test::ScopedEnv cache("XDG_CACHE_HOME", state.path("cache"));
    const std::string movie = home.file("clip\xFF.mp4", std::string("\0\0\0\x18"
                                                                    "ftypmp42",
                                                                    12));
    home.setModified("clip\xFF.mp4", 1'600'000'000);
    const auto cacheThumbnail = [&](const char* size, const QByteArray& mtime) {
        const QByteArray uri = SharedThumbnails::uriOf(movie);
        QImage thumbnail(64, 36, QImage::Format_RGB32);
        thumbnail.fill(Qt::darkCyan);
        thumbnail.setText("Thumb::URI", QString::fromLatin1(uri));
        thumbnail.setText("Thumb::MTime", QString::fromLatin1(mtime));
        const QString folder = QString::fromStdString(state.path("cache/thumbnails/")) + size;
        QDir().mkpath(folder);
        const QString name = QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex();
        ASSERT_TRUE(thumbnail.save(folder + '/' + name + ".png"));
    };
    cacheThumbnail("large", "1599999999"); // made before the file last changed
    EXPECT_TRUE(PreviewContent::read(movie).image.isNull());
    cacheThumbnail("normal", "1600000000");
    const PreviewContent content = PreviewContent::read(movie);
    EXPECT_EQ(content.kind, PreviewContent::Kind::other);
    EXPECT_EQ(content.image.size(), QSize(64, 36));

    auto store = startedStore();
    PreviewWindow window(store->session(), store->tasks());
    showAndWait(window, movie);
    EXPECT_EQ(window.findChild<QLabel*>("previewIcon")->pixmap().size(), QSize(64, 36));

    // The list's thumbnail view shows the same picture in the row.
    IconCache icons(store->tasks());
    ResultModel model(store->session(), store->preferences(), &icons);
    store->preferences().setShowThumbnails(true);
    searchFor(*store, "clip");
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto icon = model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>();
            return icon.availableSizes().contains(QSize(64, 36));
        },
        test::patience));
}

} // namespace
} // namespace vesko
