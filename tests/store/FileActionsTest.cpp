// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FileActions.h"
#include "store/RenameNoReplace.h"
#include "store/ShownText.h"

#include "support/ChildProcess.h"
#include "support/TempTree.h"

#include "ActionTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace vesko {
namespace {

using test::readFile;

namespace fs = std::filesystem;

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

class RenameTest : public testing::Test {
protected:
    test::TempTree tree;
    std::string folder = tree.dir("f");
};

TEST_F(RenameTest, RefusedOrIgnoredNamesChangeNothing) {
    struct Case {
        QString typed;
        bool problem;
    };
    const Case cases[] = {{"", false},
                          {"   \n", false},
                          {"old.txt", false},
                          {" old.txt ", false},
                          {"a/b", true},
                          {".", true},
                          {"..", true},
                          {"taken.txt", true},
                          {QString(300, 'x'), true},
                          {QString("a") + QChar(0) + "b", true}};
    for (const auto& c : cases) {
        test::TempTree local;
        const std::string dir = local.dir("f");
        local.file("f/old.txt", "old");
        local.file("f/taken.txt", "taken");
        const auto renamed = FileActions::rename(dir, "old.txt", c.typed);
        EXPECT_EQ(renamed.problem.has_value(), c.problem) << c.typed.toStdString();
        EXPECT_FALSE(renamed.name) << c.typed.toStdString();
        EXPECT_EQ(readFile(dir + "/old.txt"), "old");
        EXPECT_EQ(readFile(dir + "/taken.txt"), "taken");
        EXPECT_EQ(local.listAll().size(), 3u);
    }
}

TEST_F(RenameTest, ANameThatIsNotUtf8TakesOneInAnyScript) {
    const std::string invalid = "bad\xff";
    tree.file("f/" + invalid, "raw");
    const auto renamed = FileActions::rename(folder, invalid, "좋은 이름");
    ASSERT_FALSE(renamed.problem);
    EXPECT_EQ(readFile(folder + "/좋은 이름"), "raw");
    EXPECT_FALSE(exists(folder + "/" + invalid));
}

// Every way a rename can go, with and without the kernel's no-replace flag: it works, and
// an item that appears at the new name just before the move is never replaced.
TEST_F(RenameTest, NeverReplacesATargetThatAppearsDuringTheRename) {
    struct Path {
        const char* label;
        RenameFaults faults;
        bool folder;
    };
    const Path paths[] = {{"flag, file", {}, false},
                          {"flag, folder", {}, true},
                          {"link, file", {true, false, {}}, false},
                          {"claim, file", {true, true, {}}, false},
                          {"claim, folder", {true, false, {}}, true}};
    for (const auto& path : paths) {
        for (const bool race : {false, true}) {
            test::TempTree local;
            const std::string dir = local.dir("f");
            local.file(path.folder ? "f/old/inside" : "f/old", "mine");
            RenameFaults faults = path.faults;
            bool racerWon = false;
            if (race)
                faults.beforeCommit = [&] {
                    const int fd =
                        ::open((dir + "/new").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
                    if (fd < 0) return;
                    racerWon = ::write(fd, "theirs", 6) == 6;
                    ::close(fd);
                };
            const int error = renameNoReplace(dir, "old", "new", &faults);
            const std::string mine = path.folder ? "/new/inside" : "/new";
            if (racerWon) {
                EXPECT_EQ(error, EEXIST) << path.label;
                EXPECT_EQ(readFile(dir + "/new"), "theirs") << path.label;
                EXPECT_TRUE(exists(dir + "/old")) << path.label;
            } else {
                EXPECT_EQ(error, 0) << path.label << " race " << race;
                EXPECT_EQ(readFile(dir + mine), "mine") << path.label;
                EXPECT_FALSE(exists(dir + "/old")) << path.label;
            }
        }
    }
    // A folder's claim that another program fills makes the rename fail.
    tree.file("f/old/inside", "mine");
    RenameFaults faults{true, false, [&] { tree.file("f/new/theirs", "theirs"); }};
    EXPECT_EQ(renameNoReplace(folder, "old", "new", &faults), ENOTEMPTY);
    EXPECT_EQ(readFile(folder + "/new/theirs"), "theirs");
    EXPECT_EQ(readFile(folder + "/old/inside"), "mine");
}

// The Trash lives in a private home, never the user's.
class TrashTest : public testing::Test {
protected:
    test::TempTree tree;
    test::ScopedEnv home{"HOME", tree.dir("home")};
    test::ScopedEnv data{"XDG_DATA_HOME", tree.dir("home/.local/share")};
};

// A second item of the name gets a number; a name that is not UTF-8 keeps its bytes,
// percent-encoded in the record of where it came from.
TEST_F(TrashTest, ANameTakenInTheTrashGetsANumberAndOddBytesAreRecorded) {
    ASSERT_FALSE(FileActions::moveToTrash(tree.file("home/doc.txt", "first")));
    const std::string odd = tree.file("home/doc\xFF.txt", "odd");
    tree.file("home/doc.txt", "second");
    ASSERT_FALSE(FileActions::moveToTrash(tree.path("home/doc.txt")));
    ASSERT_FALSE(FileActions::moveToTrash(odd));
    EXPECT_EQ(readFile(tree.path("home/.local/share/Trash/files/doc (1).txt")), "second");
    EXPECT_EQ(readFile(tree.path("home/.local/share/Trash/files/doc\xFF.txt")), "odd");
    const std::string info =
        readFile(tree.path("home/.local/share/Trash/info/doc\xFF.txt.trashinfo"));
    EXPECT_EQ(info.substr(0, info.find("DeletionDate=")),
              "[Trash Info]\nPath=" + tree.path("home/doc%FF.txt") + "\n");
}

// Qt falls back to files/ and info/ in the working folder when the data folder is missing: a
// fresh account's first trash must still land in the real Trash.
TEST(TrashFreshHomeTest, AMissingDataFolderIsMadeAndTheWorkingFolderLeftAlone) {
    test::TempTree tree;
    test::ScopedEnv home{"HOME", tree.dir("home")};
    test::ScopedEnv data{"XDG_DATA_HOME", tree.path("home/.local/share")};
    const std::string file = tree.file("home/doc.txt", "keep me");
    const std::string workingBefore = std::filesystem::current_path();
    std::filesystem::current_path(tree.dir("work"));
    const auto problem = FileActions::moveToTrash(file);
    std::filesystem::current_path(workingBefore);
    ASSERT_EQ(problem, std::nullopt);
    EXPECT_EQ(readFile(tree.path("home/.local/share/Trash/files/doc.txt")), "keep me");
    EXPECT_FALSE(exists(tree.path("work/files")));
}

TEST_F(TrashTest, AFolderWithoutWritePermissionKeepsTheItem) {
    const std::string file = tree.file("home/locked/doc.txt", "keep me");
    ASSERT_EQ(::chown(tree.root().c_str(), 65534, 65534), 0);
    for (const auto& item : tree.listAll())
        ASSERT_EQ(::lchown(tree.path(item).c_str(), 65534, 65534), 0);
    tree.chmod("home/locked", 0555);
    const int code = test::runUnprivileged([&] { return FileActions::moveToTrash(file) ? 0 : 1; });
    if (code == test::cannotSetUpChild) GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(file), "keep me");
}

// An item on another volume goes to that volume's Trash; while the volume is read-only (and
// its Trash cannot be made) the item stays and the problem says so. A bind mount is the hard
// case: it shares the device number of the home's file system, yet nothing can be renamed
// across it.
TEST_F(TrashTest, ABindMountIsAVolumeOfItsOwn) {
    const std::string source = tree.dir("source");
    const std::string mount = tree.dir("home/bound");
    const int code = test::runInChild([&] {
        const auto remount = [&](unsigned long readOnly) {
            return ::mount(nullptr, mount.c_str(), nullptr, MS_REMOUNT | MS_BIND | readOnly,
                           nullptr) == 0;
        };
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(source.c_str(), mount.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return test::cannotSetUpChild;
        std::ofstream(mount + "/doc.txt") << "keep me";
        if (!remount(MS_RDONLY)) return test::cannotSetUpChild;
        const auto problem = FileActions::moveToTrash(mount + "/doc.txt");
        if (!problem || problem->kind != ActionProblem::Kind::system || problem->error != EROFS ||
            readFile(mount + "/doc.txt") != "keep me")
            return 1;
        const std::string trash = mount + "/.Trash-" + std::to_string(::getuid());
        if (!remount(0)) return test::cannotSetUpChild;
        return !FileActions::moveToTrash(mount + "/doc.txt") &&
                       readFile(trash + "/files/doc.txt") == "keep me"
                   ? 0
                   : 2;
    });
    if (code == test::cannotSetUpChild) GTEST_SKIP() << "cannot bind-mount a folder";
    EXPECT_EQ(code, 0);
}

class ExportTest : public testing::Test {
protected:
    test::TempTree tree;
    std::string target = tree.file("out/vesko-results.txt", "old\n");
};

// Odd bytes in the paths are the window test's (OddNamesEndToEnd exports them).
TEST_F(ExportTest, WritesEveryPathOnePerLine) {
    ASSERT_FALSE(FileActions::exportPaths(target, {}));
    EXPECT_EQ(readFile(target), "\n");

    std::vector<std::string> many;
    std::string expected;
    for (int i = 0; i < 20'000; ++i) {
        many.push_back("/home/ann/folder " + std::to_string(i) + "/file.txt");
        expected += many.back() + "\n";
    }
    ASSERT_FALSE(FileActions::exportPaths(target, many));
    EXPECT_EQ(readFile(target), expected);
}

TEST_F(ExportTest, AFailedWriteKeepsTheOldFile) {
    std::vector<std::string> many(20'000, "/home/ann/some/long/enough/path/to/a/file.txt");
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const auto full = FileActions::exportPaths(target, many);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    ASSERT_TRUE(full);
    EXPECT_FALSE(full->words.isEmpty());
    EXPECT_EQ(readFile(target), "old\n");

    ASSERT_EQ(::chown(tree.root().c_str(), 65534, 65534), 0);
    tree.chmod("out", 0555);
    const int code =
        test::runUnprivileged([&] { return FileActions::exportPaths(target, many) ? 0 : 1; });
    if (code == test::cannotSetUpChild) GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(readFile(target), "old\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(tree.path("out")), fs::directory_iterator()), 1);
}

// A path goes as text a shell reads back as the same bytes, and as a file URL; a name as text.
TEST(ClipboardTest, PathGoesAsQuotedTextAndFileUrlNameAsText) {
    ASSERT_FALSE(FileActions::copyPath("/home/ann/a b/\xff.txt"));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->text(), "$'/home/ann/a b/\\xFF.txt'");
    EXPECT_EQ(data->data("text/uri-list"), "file:///home/ann/a%20b/%FF.txt\r\n");
    ASSERT_FALSE(FileActions::copyName("보고서.pdf"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "보고서.pdf");
}

// What hides or reorders part of a name is shown as an escape; everything else as it is.
TEST(ShownTextTest, ControlsBidirectionalCharactersAndBadBytesShowAsEscapes) {
    const std::pair<std::string, QString> cases[] = {
        {"보고서 é.txt", "보고서 é.txt"},
        {"first\nsecond", "first\\nsecond"},
        {"tab\tcr\resc\x1B[2Jdel\x7F", "tab\\tcr\\resc\\e[2Jdel\\x7F"},
        {"rtl\u202Etxt.exe", "rtl\\u202Etxt.exe"},
        {"\u2066iso\u2069\u200E\u061C\u2028", "\\u2066iso\\u2069\\u200E\\u061C\\u2028"},
        {"c1\xC2\x85", "c1\\u0085"},
        {"bad\xFFname.txt", "bad\\xFFname.txt"},
        {"bad\xEF\xBF\xBDname.txt", QString::fromUtf8("bad\xEF\xBF\xBDname.txt")},
    };
    for (const auto& [stored, shown] : cases)
        EXPECT_EQ(shownText(stored), shown) << shown.toStdString();
    // Where the escapes are, in the text's own positions (the list draws them fainter).
    EscapeSpans escapes;
    EXPECT_EQ(shownText("한\nb\\n\xFF", &escapes), "한\\nb\\n\\xFF");
    EXPECT_EQ(escapes, (EscapeSpans{{1, 2}, {6, 4}}));
}

// What is opened, and the folder shown without a file manager on the bus, are the window
// tests' (OddNamesEndToEnd); here, a desktop that opens nothing.
TEST(DesktopTest, OpenAndShowReportWhatFailed) {
    std::vector<QUrl> opened;
    FileActions::Desktop desktop;
    desktop.openUrl = [&](const QUrl& url) {
        opened.push_back(url);
        return false;
    };
    desktop.busAddress = "unix:path=/nonexistent/vesko-bus";
    EXPECT_TRUE(FileActions::open("/home/ann/x.txt", desktop));
    std::optional<FileActions::Problem> shown;
    FileActions::showInFileManager("/x.txt", desktop, [&](auto p) { shown = p; });
    ASSERT_TRUE(shown && *shown);
    EXPECT_EQ(opened.back().toEncoded(), "file:///");
}

} // namespace
} // namespace vesko
