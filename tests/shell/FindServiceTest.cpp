// SPDX-License-Identifier: GPL-3.0-or-later
// `vesko --find` through a running Vesko: the answer from the live index matches the one
// from the archive and includes what changed seconds ago; a Vesko that cannot answer
// declines (a stopped one is passed over in WindowedAppTest).
#include "shell/FindService.h"
#include "ShellTestSupport.h"

#include "shell/SingleInstance.h"
#include "store/FindQuery.h"
#include "store/IndexStore.h"
#include "support/TempTree.h"
#include "support/VeskoHome.h"

#include <QTest>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vesko {
namespace {

constexpr int patience = 30'000;

class FindServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.file("notes/alpha one.txt", "a");
        tree.dir("alpha folder");
        tree.file("notes/line\nbreak odd.txt", "b");
        tree.file("back\\slash odd.md", "c");
        tree.file("보고서.hwp", "k");
        store = test::privateStore(tree.root(), state);
        socket = state.path("vesko.socket");
        ASSERT_TRUE(instance.listen(socket));
        service = std::make_unique<FindService>(*store);
        service->attach(instance);
    }

    FindQuery query(const std::string& text) const {
        FindQuery find;
        find.query = text;
        find.roots = {tree.root()};
        return find;
    }

    std::optional<FindQuery::Answer> ask(const FindQuery& find) {
        return test::whileServing(
            [&] { return find.ask(socket, std::chrono::milliseconds(5000)); });
    }

    test::TempTree tree;
    test::TempTree state;
    std::unique_ptr<IndexStore> store;
    SingleInstance instance;
    std::string socket;
    std::unique_ptr<FindService> service;
};

// What only the archive can answer is declined; every byte of a path survives the answer's
// lines, and the window's preferences hold for its answers as for its own searches.
TEST_F(FindServiceTest, DeclinesWhatOnlyTheArchiveCanAnswerAndAnswersTheRestWhole) {
    FindQuery find = query("alpha");
    EXPECT_FALSE(ask(find)) << "still building";
    store->lifecycle().start();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return store->lifecycle().phase() == IndexLifecycle::Phase::ready; }, patience));
    find.roots = {state.root()};
    EXPECT_FALSE(ask(find)) << "other roots";
    find = query("alpha");
    find.sort = {ResultSort::Field::kind, true};
    EXPECT_FALSE(ask(find)) << "kind names in the window's language";
    find = query("alpha");
    find.query = "\xff";
    EXPECT_FALSE(ask(find)) << "not UTF-8";
    EXPECT_TRUE(ask(query("alpha")));

    find = query("odd");
    find.sort = {ResultSort::Field::name, true};
    EXPECT_EQ(ask(find)->paths, (std::vector<std::string>{tree.path("back\\slash odd.md"),
                                                          tree.path("notes/line\nbreak odd.txt")}));
    EXPECT_EQ(ask(query("ㅂㄱㅅ"))->found, 1);
    store->preferences().setInitialConsonants(false);
    EXPECT_EQ(ask(query("ㅂㄱㅅ"))->found, 0);
}

// The real executable: a windowed Vesko over a private tree, and `vesko --find` run with
// and without it (another runtime folder hides it).
class FindThroughInstance : public ::testing::Test {
protected:
    test::Launch launch(std::vector<std::string> args, const std::string& runtime) const {
        test::Launch l = home.launch(std::move(args));
        l.env.emplace_back("XDG_RUNTIME_DIR", runtime);
        l.env.emplace_back("QT_QPA_PLATFORM", "xcb");
        // Keeps the window's launcher providers off the bus of the desktop running the tests.
        l.env.emplace_back("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        l.timeout = std::chrono::milliseconds(60'000);
        return l;
    }
    test::Finished find(std::vector<std::string> args, const std::string& runtime) const {
        args.insert(args.begin(), {"--find", "--root", tree.root()});
        return test::run(launch(std::move(args), runtime));
    }

    test::VeskoHome home;
    test::TempTree tree;
    std::string live = home.home.path("run-live");
    std::string alone = home.home.path("run-alone");
};

TEST_F(FindThroughInstance, SameOutputAsTheArchivePlusRecentFiles) {
    for (int i = 0; i < 30; ++i)
        tree.file("docs/report " + std::to_string(i) + ".txt", "r");
    tree.file("docs/zeta.md", "z");
    for (const std::string& folder : {live, alone})
        ::mkdir(folder.c_str(), 0700);
    // Saves the archive the instance then loads.
    ASSERT_EQ(find({"zeta"}, alone).status, 0);
    test::ChildProcess window(launch({"--dev-root", tree.root(), "--hidden"}, live));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return test::instanceReady(live + "/vesko.socket"); }, patience));

    const std::vector<std::vector<std::string>> optionSets = {
        {"report"},
        {"report", "--limit", "5", "--sort", "name", "--descending"},
        {"report", "--count"},
        {"report", "--print0", "--limit", "0", "--sort", "path"},
        {"rep.*[12]\\.txt", "--regex", "--existing"},
        {"nothing-matches-this"},
    };
    for (const auto& options : optionSets) {
        SCOPED_TRACE(options.front() + (options.size() > 1 ? " " + options[1] : ""));
        const auto fromArchive = find(options, alone);
        const auto fromInstance = find(options, live);
        EXPECT_EQ(fromInstance.out, fromArchive.out);
        EXPECT_EQ(fromInstance.status, fromArchive.status);
    }

    const std::string fresh = tree.file("docs/fresh report.txt", "new");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return find({"fresh"}, live).out == fresh + "\n"; }, patience));
    EXPECT_EQ(find({"fresh"}, alone).status, 1) << "the archive is older than the file";
}

} // namespace
} // namespace vesko
