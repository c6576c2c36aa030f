// SPDX-License-Identifier: GPL-3.0-or-later
// GNOME's and KRunner's providers on a private session bus, called as the launchers call
// them: the best hits, their metas, and opening one (recorded instead of performed).
#include "shell/SearchProviders.h"
#include "ShellTestSupport.h"
#include "shell/GnomeSearchProvider.h"
#include "shell/KRunnerProvider.h"
#include "store/StoreTasks.h"

#include "store/FileActions.h"
#include "store/IndexStore.h"
#include "support/TempTree.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QTest>

#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace vesko {
namespace {

constexpr int patience = 30'000;

class SearchProvidersTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 25; ++i)
            tree.file("docs/alpha " + std::to_string(i) + ".txt", "a");
        tree.file("alpha.txt", "exact");
        tree.dir("alpha folder");
        // A name that is not UTF-8 beside its repaired twin.
        tree.file("odd/bad\xFFname.txt", "bad");
        tree.file("odd/bad\xEF\xBF\xBDname.txt", "twin");
        tree.file("주간보고서.hwp", "k");
        store = test::privateStore(tree.root(), state);
        ASSERT_FALSE(bus_.address().isEmpty()) << "no dbus-daemon";
        store->actions().setDesktop({[this](const QUrl& url) {
                                         opened.append(QString::fromLatin1(url.toEncoded()));
                                         return true;
                                     },
                                     bus_.address(), std::chrono::milliseconds(2000)});
        store->lifecycle().start();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return store->lifecycle().phase() == IndexLifecycle::Phase::ready; }, patience));
        providers = std::make_unique<SearchProviders>(
            *store, [this](const QString& text) { launched.append(text); });
        ASSERT_TRUE(providers->publish(QDBusConnection::connectToBus(bus_.address(), "vesko")))
            << providers->problem().toStdString();
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus_.address(), "launcher"));
    }
    void TearDown() override {
        client.reset();
        providers.reset();
        QDBusConnection::disconnectFromBus("launcher");
        QDBusConnection::disconnectFromBus("vesko");
    }

    // Calls like a launcher: asynchronously, while this thread serves the provider.
    QDBusMessage call(const char* path, const char* interface, const char* method,
                      const QVariantList& arguments) {
        auto message =
            QDBusMessage::createMethodCall(SearchProviders::busName, path, interface, method);
        message.setArguments(arguments);
        return call(message);
    }
    QDBusMessage call(const QDBusMessage& message) {
        QDBusPendingCall pending = client->asyncCall(message);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, patience));
        return pending.reply();
    }
    QStringList gnomeSearch(const QStringList& terms) {
        const auto reply = call(SearchProviders::gnomePath, "org.gnome.Shell.SearchProvider2",
                                "GetInitialResultSet", {terms});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).toStringList();
    }
    // From any thread, on a connection of that thread's own when `connection` is named.
    QList<QVariantMap> gnomeMetas(const QStringList& ids, const char* connection = nullptr) {
        auto message =
            QDBusMessage::createMethodCall(SearchProviders::busName, SearchProviders::gnomePath,
                                           "org.gnome.Shell.SearchProvider2", "GetResultMetas");
        message.setArguments({ids});
        const auto reply = connection ? QDBusConnection::connectToBus(bus_.address(), connection)
                                            .call(message, QDBus::Block, patience)
                                      : call(message);
        QList<QVariantMap> rows;
        reply.arguments().value(0).value<QDBusArgument>() >> rows;
        return rows;
    }
    // A result's id: the file URL of its stored bytes.
    QString idOf(const std::string& relative) const {
        return QString::fromLatin1(FileActions::fileUrl(tree.path(relative)).toEncoded());
    }

    test::PrivateBus bus_;
    test::TempTree tree;
    test::TempTree state;
    std::unique_ptr<IndexStore> store;
    std::unique_ptr<SearchProviders> providers;
    std::unique_ptr<QDBusConnection> client;
    QStringList opened;
    QStringList launched;
};

TEST_F(SearchProvidersTest, GnomeShowsTheBestHitsAndOpensTheChosenOne) {
    const QStringList ids = gnomeSearch({"alpha"});
    ASSERT_EQ(ids.size(), ProviderSearch::maximumHits);
    const QString exact = idOf("alpha.txt");
    EXPECT_TRUE(ids.contains(exact)) << "the exact name ranks among the best";

    const QString folder = idOf("alpha folder");
    const QList<QVariantMap> rows = gnomeMetas({exact, folder});
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]["id"].toString(), exact);
    EXPECT_EQ(rows[0]["name"].toString(), "alpha.txt");
    EXPECT_EQ(rows[0]["description"].toString(), QString::fromStdString(tree.root()));
    EXPECT_FALSE(rows[0]["gicon"].toString().isEmpty());
    EXPECT_EQ(rows[1]["gicon"].toString(), "folder");

    call(SearchProviders::gnomePath, "org.gnome.Shell.SearchProvider2", "ActivateResult",
         {exact, QStringList{"alpha"}, 0u});
    EXPECT_EQ(opened, QStringList{exact});
    call(SearchProviders::gnomePath, "org.gnome.Shell.SearchProvider2", "LaunchSearch",
         {QStringList{"alpha", "one"}, 0u});
    EXPECT_EQ(launched, QStringList{"alpha one"});
}

TEST_F(SearchProvidersTest, ASecondPublisherIsRefusedWithItsReason) {
    SearchProviders second(*store, [](const QString&) {});
    EXPECT_FALSE(second.publish(QDBusConnection::connectToBus(bus_.address(), "second")));
    EXPECT_NE(second.problem().toStdString().find(SearchProviders::busName), std::string::npos)
        << second.problem().toStdString();
    QDBusConnection::disconnectFromBus("second");
}

TEST_F(SearchProvidersTest, UnusableQueriesGetAnEmptyAnswer) {
    EXPECT_TRUE(gnomeSearch({QString(9000, QLatin1Char('a'))}).isEmpty());
    EXPECT_TRUE(gnomeSearch({}).isEmpty());
    EXPECT_TRUE(gnomeSearch({QString(QChar(0xD800))}).isEmpty()) << "a lone surrogate";
    // While the index is building nothing waits for it. The small tree's build could end
    // before the launcher asks, so the pool is kept busy until the answer is in.
    std::promise<void> gate;
    const std::shared_future<void> open = gate.get_future().share();
    for (unsigned i = 0; i < 2 * std::max(4u, std::thread::hardware_concurrency()); ++i)
        store->tasks().run(StoreTasks::Priority::userInitiated, [open] { open.wait(); });
    store->lifecycle().build();
    ASSERT_EQ(store->lifecycle().phase(), IndexLifecycle::Phase::building);
    EXPECT_TRUE(gnomeSearch({"alpha"}).isEmpty());
    gate.set_value();
}

// The launchers read the window's preference: initial consonants find a name, or, with the
// preference off, do not.
TEST_F(SearchProvidersTest, LaunchersFollowTheInitialConsonantsPreference) {
    const QStringList report{idOf("주간보고서.hwp")};
    EXPECT_EQ(gnomeSearch({"ㅂㄱㅅ"}), report);
    store->preferences().setInitialConsonants(false);
    EXPECT_TRUE(gnomeSearch({"ㅂㄱㅅ"}).isEmpty());
    EXPECT_EQ(gnomeSearch({"보고서"}), report);
}

TEST_F(SearchProvidersTest, KRunnerMatchesAndRunsBothActions) {
    const auto reply =
        call(SearchProviders::krunnerPath, "org.kde.krunner1", "Match", {"alpha.txt"});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    QList<RunnerMatch> matches;
    reply.arguments().value(0).value<QDBusArgument>() >> matches;
    ASSERT_FALSE(matches.isEmpty());
    ASSERT_LE(matches.size(), ProviderSearch::maximumHits);
    const QString exact = idOf("alpha.txt");
    EXPECT_EQ(matches[0].id, exact);
    EXPECT_EQ(matches[0].type, KRunnerProvider::exactMatch);
    EXPECT_EQ(matches[0].properties["subtext"].toString(), QString::fromStdString(tree.root()));
    for (qsizetype i = 1; i < matches.size(); ++i)
        EXPECT_LT(matches[i].relevance, matches[i - 1].relevance);

    const auto actions = call(SearchProviders::krunnerPath, "org.kde.krunner1", "Actions", {});
    QList<RunnerAction> listed;
    actions.arguments().value(0).value<QDBusArgument>() >> listed;
    ASSERT_EQ(listed.size(), 1);

    call(SearchProviders::krunnerPath, "org.kde.krunner1", "Run", {exact, QString()});
    EXPECT_EQ(opened, QStringList{exact});
    // No file manager answers on the private bus, so the folder itself is opened.
    call(SearchProviders::krunnerPath, "org.kde.krunner1", "Run", {exact, listed[0].id});
    EXPECT_TRUE(QTest::qWaitFor([&] { return opened.size() == 2; }, patience));
    EXPECT_EQ(opened.value(1), idOf(""));
}

// Anything on the bus may name an id: only those handed out in this session are acted on,
// and the file that is not UTF-8 is opened itself, never its repaired twin.
TEST_F(SearchProvidersTest, OnlyIdsHandedOutAreOpenedAndEachNamesItsOwnBytes) {
    const QStringList ids = gnomeSearch({"name.txt"});
    const QString bad = idOf("odd/bad\xFFname.txt");
    ASSERT_EQ(ids.size(), 2);
    EXPECT_TRUE(ids.contains(bad));
    EXPECT_TRUE(ids.contains(idOf("odd/bad\xEF\xBF\xBDname.txt")));
    const QString file = QString::fromStdString(tree.path("alpha.txt"));
    for (const QString& forged : {QString("/etc/shadow"), QString("file:///etc/shadow"),
                                  QString("/proc/self/environ"), file, idOf("alpha.txt")}) {
        call(SearchProviders::gnomePath, "org.gnome.Shell.SearchProvider2", "ActivateResult",
             {forged, QStringList{"x"}, 0u});
        call(SearchProviders::krunnerPath, "org.kde.krunner1", "Run", {forged, QString()});
    }
    EXPECT_TRUE(opened.isEmpty()) << opened.join(' ').toStdString();
    EXPECT_TRUE(gnomeMetas({"/etc/shadow", file}).isEmpty());

    call(SearchProviders::gnomePath, "org.gnome.Shell.SearchProvider2", "ActivateResult",
         {bad, QStringList{"name.txt"}, 0u});
    EXPECT_EQ(opened, QStringList{bad});
    const QList<QVariantMap> metas = gnomeMetas({bad});
    ASSERT_EQ(metas.size(), 1);
    EXPECT_EQ(metas[0]["name"].toString(), "bad\\xFFname.txt");
}

// A flood of ids is answered for the first few from memory, on the launchers' thread: the
// answer comes while the window's thread stands still in the wait below. A launcher elsewhere
// marshals its call on a thread of its own.
TEST_F(SearchProvidersTest, AFloodOfIdsNeverHoldsTheWindowsThread) {
    const QStringList known = gnomeSearch({"alpha"});
    ASSERT_FALSE(known.isEmpty());
    QStringList asked;
    for (int i = 0; i < 100'000; ++i)
        asked << known[i % known.size()] << QStringLiteral("/nowhere/%1").arg(i);
    auto blocked =
        std::async(std::launch::async, [&] { return gnomeMetas(asked, "flood").size(); });
    ASSERT_EQ(blocked.wait_for(std::chrono::milliseconds(patience)), std::future_status::ready);
    EXPECT_EQ(blocked.get(), GnomeSearchProvider::maximumMetas / 2);
    QDBusConnection::disconnectFromBus("flood");
}

} // namespace
} // namespace vesko
