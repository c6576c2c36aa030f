// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnostic modes run as the real executable against a generated tree, with the cache,
// configuration and home folders pointed into a temporary folder so that no run touches the
// user's own index or preferences. Plus the pieces of the report that can be checked alone.
#include "app/Headless.h"
#include "app/ProcessMemory.h"
#include "app/ReportOutput.h"

#include "support/VeskoHome.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <thread>

namespace vesko {
namespace {

namespace fs = std::filesystem;
using test::Finished;
using test::readFile;

// Forty projects of sixty files each and a few named files the report's searches look for.
class HeadlessEndToEnd : public testing::Test {
protected:
    void SetUp() override {
        for (int p = 0; p < 40; ++p) {
            const std::string project = "tree/proj" + std::to_string(p);
            for (int f = 0; f < 60; ++f)
                home.file(project + "/src/file" + std::to_string(f) + ".txt");
        }
        home.file("tree/proj0/index.swift");
        home.file("tree/proj0/scan.cpp", "// getdents64\n");
        home.file("tree/proj1/Swift notes.md", "MIT License\n");
        home.file("tree/proj2/readme.md", "no such word\n");
        home.file("tree/2024-plan.txt");
        tree = home.path("tree");
        entries = static_cast<std::int64_t>(home.listAll().size()) - 1; // without "tree"
    }

    Finished vesko(std::vector<std::string> args) { return runner.run(std::move(args)); }
    std::string archivePath() const { return runner.archivePath(); }

    test::VeskoHome runner;
    test::TempTree& home = runner.home;
    std::string tree;
    std::int64_t entries = 0;
};

// Each text, in order, somewhere after the previous one.
void expectInOrder(const std::string& output, const std::vector<std::string>& texts) {
    std::size_t at = 0;
    for (const std::string& text : texts) {
        const std::size_t found = output.find(text, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << text;
        at = found + text.size();
    }
}

TEST_F(HeadlessEndToEnd, ScanArchiveThenBenchWatchAndDrift) {
    const Finished scan = vesko({"--scan", "--root", tree, "--archive", "--query", "swi", "--query",
                                 "swift", "--query", "zzz"});
    ASSERT_EQ(scan.status, 0);
    const std::string n = std::to_string(entries);
    // What the report counts, not how it lays it out.
    expectInOrder(scan.out, {"  항목         " + n + "\n", "  파일         " + archivePath(),
                             "  되살린 항목  " + n + "\n", "cpp 파일 안의 getdents64", "1개",
                             "md 파일 안의 license", "1개"});
    const std::regex typing(R"(^  (\S+) +이름 +(\d+) → 파일 +(\d+) +[\d.]+ms  (✅|❌)$)");
    std::vector<std::string> typed;
    for (const std::string& line : test::splitLines(scan.out)) {
        std::smatch m;
        if (std::regex_match(line, m, typing)) typed.push_back(m[1].str() + "=" + m[3].str());
    }
    EXPECT_EQ(typed, (std::vector<std::string>{"swi=2", "swift=2", "zzz=0"}));

    const std::string benchFile = home.path("bench.txt");
    const Finished bench = vesko({"--bench", "--out", benchFile});
    EXPECT_EQ(bench.status, 0);
    EXPECT_EQ(bench.out, "");
    EXPECT_TRUE(
        std::regex_search(readFile(benchFile), std::regex(R"(\nswift +200 +\d+ +[\d.]+ms)")))
        << readFile(benchFile);

    // A folder outside the indexed roots: the updater cannot resolve it, so the probe fails.
    test::ChildProcess outside(runner.launch({"--watch", home.dir("outside")}));
    const auto before = home.listAll();
    const Finished watch = vesko({"--watch", tree});
    EXPECT_EQ(watch.status, Headless::statusPassed) << watch.err;
    expectInOrder(watch.out,
                  {"덤프 로드   " + n + "개", "시작 시점 0\n", "파일 생성   ", "  → 검색     1\n",
                   "✅ 생성이 반영됐다", "파일 삭제   ", "✅ 삭제가 반영됐다"});
    EXPECT_EQ(home.listAll(), before); // no probe left behind
    const Finished failed = outside.wait();
    EXPECT_EQ(failed.status, Headless::statusFailed);
    expectInOrder(failed.out, {"❌ 생성이 반영되지 않았다"});

    // A probe changes nothing it probes: the stored scan time stays, or the daily rebuild
    // would be postponed though nothing was scanned.
    const std::string conf =
        home.file("config/vesko/vesko.conf", "[General]\nlastFullScan=1700000000\n");
    const Finished drift = vesko({"--drift"});
    EXPECT_EQ(drift.status, 0);
    expectInOrder(drift.out, {"재검사 대상 ✅", "아님 ✅", "\n\n로그인 항목 상태: off"});
    EXPECT_EQ(readFile(conf), "[General]\nlastFullScan=1700000000\n");
}

TEST_F(HeadlessEndToEnd, InterruptedProbeRemovesItsFileAndSparesTheUsers) {
    ASSERT_EQ(vesko({"--scan", "--root", tree, "--archive", "--query", "x"}).status, 0);
    // The name an earlier version of the probe used: a user's file may well have it.
    const std::string precious = home.file("tree/vesko-fsevents-test-created.txt", "precious");
    const auto before = home.listAll();
    for (const int number : {SIGINT, SIGTERM}) {
        test::ChildProcess probe(runner.launch({"--watch", tree}));
        // Wait until the probe has written its file (or touched the user's), then interrupt.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (home.listAll() == before && readFile(precious) == "precious" &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_NE(home.listAll(), before) << "the probe never created its file";
        probe.signal(number);
        const Finished ended = probe.wait();
        EXPECT_EQ(ended.signal, number) << ended.out;
        EXPECT_EQ(readFile(precious), "precious");
        EXPECT_EQ(home.listAll(), before);
    }
}

TEST_F(HeadlessEndToEnd, BadInputEndsWithAStatusAndAMessage) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> expected; // in order; empty: nothing on standard output
        const char* error = "";            // on standard error
    };
    const std::string unwritable = home.path("missing-folder/report.txt");
    const std::string tiny = home.file("tiny/only.txt");
    const Case cases[] = {
        {{"--bench"}, 2, {"❌ 덤프가 없다. 먼저 --scan --archive\n"}},
        {{"--watch", tree}, 2, {"❌ 덤프가 없다. 먼저 --scan --archive 로 만든다\n"}},
        {{"--watch", home.path("nowhere")}, 2, {}, "nowhere: No such file or directory"},
        {{"--watch", tiny}, 2, {}, "only.txt: not a folder"},
        {{"--scan", "--root", home.path("nowhere")},
         0,
         {"  항목         0\n", "❌ 루트를 열지 못함: " + home.path("nowhere")}},
        // The root's own path is a name in the table, too.
        {{"--scan", "--root", home.path("tiny")}, 0, {"  고유 이름    2  (100%)\n"}},
        {{"--scan", "--root", tree, "--out", unwritable}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const Finished run = vesko(c.args);
        EXPECT_EQ(run.status, c.status);
        if (c.expected.empty()) {
            EXPECT_EQ(run.out, "");
        }
        expectInOrder(run.out, c.expected);
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(unwritable));
    EXPECT_FALSE(fs::exists(archivePath())); // no --archive was given
}

TEST_F(HeadlessEndToEnd, ReportOnATerminalShowsControlCharactersEscaped) {
    home.file("tree/evil\033]0;owned\007.swift");
    test::Launch launch = runner.launch({"--scan", "--root", tree, "--query", "evil"});
    launch.outputToTerminal = true;
    const Finished scan = test::run(launch);
    EXPECT_EQ(scan.out.find('\033'), std::string::npos);
    EXPECT_NE(scan.out.find("$'" + tree + "/evil\\e]0;owned\\x07.swift'"), std::string::npos)
        << scan.out;
}

TEST(ReportOutput, CollectsIntoOneFileOrLosesItQuietly) {
    test::TempTree dir;
    const std::string path = dir.path("out.txt");
    {
        ReportOutput out(path);
        out.line("첫 줄");
        out.line("");
        out.line("셋째\n줄");
        EXPECT_FALSE(fs::exists(path)); // written only at the end
    }
    EXPECT_EQ(readFile(path), "첫 줄\n\n셋째\n줄");
    EXPECT_EQ(dir.listAll(), std::vector<std::string>{"out.txt"}); // no temporary left

    ReportOutput lost(dir.path("no/such/folder/out.txt"));
    lost.line("x");
    EXPECT_FALSE(lost.finish());
    EXPECT_FALSE(lost.finish()); // once only
}

TEST(ProcessMemory, ReadsKibibyteFieldsOfTheStatusText) {
    const std::string status = "Name:\tvesko\nVmRSSx:\t1 kB\nVmRSS:\t  2048 kB\nVmSwap:\t0 kB\n";
    EXPECT_EQ(ProcessMemory::statusField(status, "VmRSS"), 2048 * 1024);
    EXPECT_EQ(ProcessMemory::statusField(status, "VmSwap"), 0);
    EXPECT_EQ(ProcessMemory::statusField(status, "VmHWM"), std::nullopt);
    EXPECT_EQ(ProcessMemory::statusField("VmRSS:\tlots\n", "VmRSS"), std::nullopt);
    EXPECT_GT(ProcessMemory::residentBytes().value_or(0), 0);
}

} // namespace
} // namespace vesko
