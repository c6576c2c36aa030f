// SPDX-License-Identifier: MIT
// The diagnostic modes run as the real executable against a generated tree, with the cache,
// configuration and home folders pointed into a temporary folder so that no run touches the
// user's own index or preferences. Plus the pieces of the report that can be checked alone.
#include "app/Headless.h"
#include "app/ProcessMemory.h"
#include "app/ReportOutput.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vesko {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string output; // standard output only
};

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// The executable with its own HOME and XDG folders; everything else of the environment kept.
class HeadlessRun : public testing::Test {
protected:
    Outcome vesko(const std::vector<std::string>& args) {
        std::vector<std::string> env{"HOME=" + home.root(), "XDG_CACHE_HOME=" + home.path("cache"),
                                     "XDG_CONFIG_HOME=" + home.path("config")};
        for (char** e = environ; *e; ++e) {
            const std::string_view entry = *e;
            if (!entry.starts_with("HOME=") && !entry.starts_with("XDG_CACHE_HOME=") &&
                !entry.starts_with("XDG_CONFIG_HOME="))
                env.emplace_back(entry);
        }
        std::vector<std::string> argv{VESKO_EXECUTABLE};
        argv.insert(argv.end(), args.begin(), args.end());
        return spawn(argv, env);
    }

    static std::vector<char*> pointers(std::vector<std::string>& texts) {
        std::vector<char*> p;
        for (auto& t : texts)
            p.push_back(t.data());
        p.push_back(nullptr);
        return p;
    }

    static Outcome spawn(std::vector<std::string>& argv, std::vector<std::string>& env) {
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return {};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        auto args = pointers(argv);
        auto envp = pointers(env);
        const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        Outcome run;
        char buffer[65536];
        for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
            run.output.append(buffer, static_cast<std::size_t>(n));
        ::close(pipeEnds[0]);
        int status = 0;
        if (spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            run.status = WEXITSTATUS(status);
        return run;
    }

    std::string archivePath() const { return home.path("cache/vesko/index.veskoindex"); }

    test::TempTree home;
};

// Forty projects of sixty files each and a few named files the report's searches look for.
class HeadlessEndToEnd : public HeadlessRun {
protected:
    void SetUp() override {
        for (int p = 0; p < 40; ++p) {
            const std::string project = "tree/proj" + std::to_string(p);
            for (int f = 0; f < 60; ++f)
                home.file(project + "/src/file" + std::to_string(f) + ".txt");
        }
        home.file("tree/proj0/index.swift", "// getattrlistbulk\n");
        home.file("tree/proj1/Swift notes.md", "MIT License\n");
        home.file("tree/proj2/readme.md", "no such word\n");
        home.file("tree/2024-plan.txt");
        tree = home.path("tree");
        entries = static_cast<std::int64_t>(home.listAll().size()) - 1; // without "tree"
    }

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
    const Outcome scan = vesko({"--scan", "--root", tree, "--archive", "--query", "swi", "--query",
                                "swift", "--query", "zzz"});
    ASSERT_EQ(scan.status, 0);
    const std::string n = std::to_string(entries);
    expectInOrder(scan.output, {"   책임 프로세스: ",
                                "  실행 파일: " VESKO_EXECUTABLE,
                                "\n  인덱스\n",
                                "  항목         " + n + "\n",
                                "  열지 못함    0\n",
                                "  footprint    ",
                                "  덤프 (BRIEF §7-8)",
                                "  파일         " + archivePath(),
                                "✅ §4 기준 1초 안",
                                "  되살린 항목  " + n + "\n",
                                "  대조         원본 2개 / 되살림 2\n",
                                "  메모리 내역",
                                "  (FSEvents 전용)",
                                "  합계",
                                "❌ 항목이 너무 적다",
                                "정렬 (전체에서 상위 3개를 골라내는가)",
                                "경로 오름차순 2개 중 상위 5",
                                "불리언 · 정규식",
                                "  내용 검색",
                                "swift 파일 안의 getattrlistbulk",
                                "1개",
                                "md 파일 안의 license",
                                "1개",
                                "\n  검색\n",
                                "타이핑"});
    const std::regex typing(R"(^  (\S+) +이름 +(\d+) → 파일 +(\d+) +[\d.]+ms  (✅|❌)$)");
    std::vector<std::string> typed;
    for (const std::string& line : linesOf(scan.output)) {
        std::smatch m;
        if (std::regex_match(line, m, typing)) typed.push_back(m[1].str() + "=" + m[3].str());
    }
    EXPECT_EQ(typed, (std::vector<std::string>{"swi=2", "swift=2", "zzz=0"}));
    EXPECT_TRUE(fs::exists(archivePath()));

    const std::string benchFile = home.path("bench.txt");
    const Outcome bench = vesko({"--bench", "--out", benchFile});
    EXPECT_EQ(bench.status, 0);
    EXPECT_EQ(bench.output, "");
    const std::regex row(
        R"(^(\S+) +(\d+) +(\d+) +[\d.]+ms +[\d.]+ms +[\d.]+ms (✅|⚠️|🔴)$)");
    std::vector<std::string> rows;
    for (const std::string& line : linesOf(readFile(benchFile))) {
        std::smatch m;
        if (std::regex_match(line, m, row)) rows.push_back(m[1].str() + " " + m[2].str());
    }
    std::vector<std::string> expected;
    for (const char* query : {"swift", "json", "s"})
        for (const char* limit : {"200", "500", "1000", "2000", "3000", "5000", "20000"})
            expected.push_back(std::string(query) + " " + limit);
    EXPECT_EQ(rows, expected);

    const Outcome watch = vesko({"--watch", tree});
    EXPECT_EQ(watch.status, 0);
    expectInOrder(watch.output,
                  {"덤프 로드   " + n + "개", "시작 시점 0\n", "파일 생성   ", "  → 검색     1\n",
                   "✅ 생성이 반영됐다", "파일 삭제   ", "✅ 삭제가 반영됐다"});
    EXPECT_FALSE(fs::exists(tree + "/vesko-fsevents-test-created.txt"));

    const Outcome drift = vesko({"--drift"});
    EXPECT_EQ(drift.status, 0);
    expectInOrder(drift.output, {"마지막 전체 검사를 아주 옛날로 돌려놨다", "재검사 대상 ✅",
                                 "→ 경과 0초 → 아님 ✅", "\n\n로그인 항목 상태: off"});
    EXPECT_NE(readFile(home.path("config/vesko/vesko.conf")).find("lastFullScan="),
              std::string::npos);
}

TEST_F(HeadlessEndToEnd, BadInputStillEndsCleanly) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> expected; // in order; empty: nothing on standard output
    };
    const std::string unwritable = home.path("missing-folder/report.txt");
    const Case cases[] = {
        {{"--bench"}, {"❌ 덤프가 없다. 먼저 --scan --archive\n"}},
        {{"--watch", tree}, {"❌ 덤프가 없다. 먼저 --scan --archive 로 만든다\n"}},
        {{"--scan", "--root", home.path("nowhere")},
         {"  항목         0\n  디렉터리     1\n", "  열지 못함    1\n", "메모리 내역", "타이핑",
          "  카 ", "✅"}},
        {{"--scan", "--root", tree, "--out", unwritable}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const Outcome run = vesko(c.args);
        EXPECT_EQ(run.status, 0);
        if (c.expected.empty()) {
            EXPECT_EQ(run.output, "");
        }
        expectInOrder(run.output, c.expected);
    }
    EXPECT_FALSE(fs::exists(unwritable));
    EXPECT_FALSE(fs::exists(archivePath())); // no --archive was given
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

TEST(ReportFormat, PadsByCharactersNotBytes) {
    EXPECT_EQ(Report::left("카", 3), "카  ");
    EXPECT_EQ(Report::right("12", 4), "  12");
    EXPECT_EQ(Report::left("swift core (AND)", 4), "swift core (AND)");
    EXPECT_EQ(Report::characterCount("항목 · 이름"), 7u);
    EXPECT_EQ(Report::format("%6.1fms", 2.25), "   2.2ms");
}

TEST(Headless, BenchVerdictBoundaries) {
    EXPECT_STREQ(Headless::benchVerdict(50.0), "✅");
    EXPECT_STREQ(Headless::benchVerdict(50.01), "⚠️");
    EXPECT_STREQ(Headless::benchVerdict(200.0), "⚠️");
    EXPECT_STREQ(Headless::benchVerdict(200.01), "🔴");
}

TEST(Headless, QueriesKeepEveryGivenOneInOrderOrFallBack) {
    EXPECT_EQ(Headless::queries({"vesko", "--scan"}), Headless::builtInQueries);
    EXPECT_EQ(Headless::queries({"vesko", "--query", "a", "--root", "/", "--query", "--query"}),
              (std::vector<std::string>{"a", "--query"}));
}

TEST(Headless, CollectorMergesBatchesAndKeepsTheLargerIdentifier) {
    Headless::Collector collector;
    collector.add({{"/a"}, {}, 7});
    collector.add({{"/b"}, {"/r"}, 5});
    const auto merged = collector.take();
    EXPECT_EQ(merged.paths, (std::vector<std::string>{"/a", "/b"}));
    EXPECT_EQ(merged.mustScanSubtrees, std::vector<std::string>{"/r"});
    EXPECT_EQ(merged.lastEventID, 7u);
    EXPECT_TRUE(collector.take().paths.empty());
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
