// SPDX-License-Identifier: GPL-3.0-or-later
// Incremental updates must equal a fresh listing: random rounds of file-system changes, each
// followed by applying its batches and comparing the live paths of the index with nftw.
// VESKO_LIVE_ROUNDS sets the rounds of each variant, VESKO_TEST_SEED replays a failure.
#include "scan/IndexUpdater.h"

#include "scan/FileSystemWatcher.h"
#include "scan/IndexBuilder.h"
#include "support/BatchRecorder.h"
#include "support/LivePaths.h"
#include "support/TempTree.h"
#include "support/TestSeed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

namespace vesko {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Batch = FileSystemWatcher::Batch;

int envInt(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::atoi(value) : fallback;
}

using test::diskPaths;
using test::livePaths;

bool present(const std::string& path) {
    return fs::exists(fs::symlink_status(path));
}
void write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// Random changes to a tree, recording the paths a watcher would name.
class TreeMutator {
public:
    TreeMutator(test::TempTree& tree, test::TempTree& outside, std::uint64_t seed)
        : tree_(tree), outside_(outside), random_(seed) {}

    void populate(int folders, int files) {
        scanState();
        for (int i = 0; i < folders; ++i)
            fs::create_directory(folders_.emplace_back(anyFolder() + "/" + freshName("dir")));
        for (int i = 0; i < files; ++i)
            write(anyFolder() + "/" + freshName("file"), std::string(pick(64), 'x'));
        ::symlink("..", (folders_.back() + "/link-up").c_str());
    }

    // One to eight operations, and 10,000 files in a new folder when `mass`; the touched
    // paths, absolute, in order.
    std::vector<std::string> round(bool mass) {
        scanState();
        touched_.clear();
        log_.str({});
        static constexpr void (TreeMutator::*ops[])() = {
            &TreeMutator::createFile, &TreeMutator::createNested,
            &TreeMutator::remove,     &TreeMutator::recreateRemoved,
            &TreeMutator::rename,     &TreeMutator::moveOutOrBackIn,
            &TreeMutator::swapKind,   &TreeMutator::createFile,
            &TreeMutator::rename};
        for (std::size_t i = 0, n = 1 + pick(8); i < n; ++i)
            (this->*ops[pick(std::size(ops))])();
        if (mass) massCreate();
        return touched_;
    }
    std::string log() const { return log_.str(); }

private:
    std::size_t pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }
    void touch(const std::string& path, const char* what) {
        touched_.push_back(path);
        log_ << what << ' ' << path.substr(tree_.root().size()) << '\n';
    }
    // Names that trip comparisons: case variants, NFC and NFD, bytes that are not UTF-8;
    // mostly unique, sometimes an old name again, to hit existing entries.
    std::string freshName(const char* stem) {
        static const char* const decorations[] = {
            "",         " two words", ".txt", "-Caf\xC3\xA9", "-cafe\xCC\x81",
            "\xFF\xFE", "-보고서",    "-CASE"};
        return (pick(6) == 0 ? "." : "") + std::string(stem) +
               decorations[pick(std::size(decorations))] +
               std::to_string(pick(4) == 0 ? static_cast<int>(pick(4)) : ++serial_);
    }
    // The lists are taken once per round; the picks check the item still exists.
    void scanState() {
        folders_ = {tree_.root()};
        files_.clear();
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(tree_.root(), error);
             it != fs::recursive_directory_iterator(); it.increment(error))
            (it->is_directory(error) && !it->is_symlink(error) ? folders_ : files_)
                .push_back(it->path().string());
    }
    std::string anyFolder() {
        for (;;)
            if (const auto& f = folders_[pick(folders_.size())];
                fs::is_directory(fs::symlink_status(f)))
                return f;
    }
    // Any existing file or folder below the root (never the root itself).
    std::optional<std::string> anyItem(bool folder) {
        const auto& list = folder ? folders_ : files_;
        const std::size_t first = folder ? 1 : 0;
        if (list.size() <= first) return std::nullopt;
        std::string path = list[first + pick(list.size() - first)];
        return present(path) ? std::optional(path) : std::nullopt;
    }

    void createFile() {
        const std::string path = anyFolder() + "/" + freshName("new");
        if (fs::is_directory(fs::symlink_status(path))) return;
        write(path, std::string(pick(100), 'n')); // an old name: a change of size and time
        touch(path, "write");
    }
    void createNested() {
        const std::string top = anyFolder() + "/" + freshName("nest");
        if (present(top)) return;
        std::string dir = top;
        for (std::size_t depth = 0, n = 1 + pick(3); depth < n; ++depth) {
            fs::create_directories(dir += "/" + freshName("level"));
            for (std::size_t i = 0, files = pick(5); i < files; ++i)
                write(dir + "/" + freshName("inner"), "i");
        }
        touch(top, "nest"); // one event for the top, as for a folder moved in
    }
    void remove() {
        const bool folder = pick(3) == 0;
        const auto path = anyItem(folder);
        if (!path) return;
        fs::remove_all(*path);
        touch(*path, folder ? "rm -rf" : "rm");
        if (folder) removed_.push_back(*path);
    }
    // Within its folder or into another one, for files and folders alike.
    void rename() {
        const bool folder = pick(2) == 0;
        const auto from = anyItem(folder);
        if (!from) return;
        const std::string into = pick(2) ? fs::path(*from).parent_path().string() : anyFolder();
        const std::string to = into + "/" + freshName("moved");
        if (to.starts_with(*from + "/") || present(to)) return;
        if (std::rename(from->c_str(), to.c_str()) != 0) return;
        touch(*from, "mv");
        touch(to, "  to");
        if (folder) removed_.push_back(*from);
    }
    // A folder comes back where one was removed earlier, so the index holds a dead record of
    // its name; a file inside it is named before the folder itself.
    void recreateRemoved() {
        if (removed_.empty()) return;
        const std::string path = removed_[pick(removed_.size())];
        if (present(path) || !fs::is_directory(fs::path(path).parent_path())) return;
        fs::create_directory(path);
        write(path + "/again", "a");
        touch(path + "/again", "recreate");
        touch(path, "  folder");
    }
    void moveOutOrBackIn() {
        if (parked_) {
            const std::string to = anyFolder() + "/" + freshName("returned");
            if (!present(to) && std::rename(parked_->c_str(), to.c_str()) == 0) {
                touch(to, "move in");
                parked_.reset();
            }
            return;
        }
        const auto from = anyItem(true);
        const std::string to = outside_.path("parked" + std::to_string(++serial_));
        if (!from || std::rename(from->c_str(), to.c_str()) != 0) return;
        touch(*from, "move out");
        parked_ = to;
    }
    // A file becomes a folder of the same name, or a folder a file.
    void swapKind() {
        const bool fromFolder = pick(2) == 0;
        const auto path = anyItem(fromFolder);
        if (!path) return;
        fs::remove_all(*path);
        if (fromFolder) {
            write(*path, "was a folder");
        } else {
            fs::create_directory(*path);
            write(*path + "/inside", "was a file");
        }
        touch(*path, "swap kind");
    }
    void massCreate() {
        const std::string dir = anyFolder() + "/" + freshName("bulk");
        if (present(dir)) return;
        fs::create_directory(dir);
        touch(dir, "mkdir");
        for (int i = 0; i < 10'000; ++i)
            write(touched_.emplace_back(dir + "/f" + std::to_string(i)), {});
        log_ << "  10000 files in it\n";
    }

    test::TempTree& tree_;
    test::TempTree& outside_;
    std::mt19937_64 random_;
    std::vector<std::string> folders_; // absolute; the root first
    std::vector<std::string> files_;
    std::optional<std::string> parked_; // a folder moved out of the tree
    std::vector<std::string> removed_;  // folders removed in earlier operations
    std::vector<std::string> touched_;
    std::ostringstream log_;
    int serial_ = 0;
};

// The index as the store holds it: a value handed to a fresh updater per flush.
struct LiveIndex {
    explicit LiveIndex(const std::string& root) {
        auto built = IndexBuilder::build({root}, 2, std::make_shared<NameTable>());
        index = std::move(built.index);
        names = built.names;
        navigator->build(index);
    }
    void apply(const Batch& batch) {
        IndexUpdater updater(index, names, navigator);
        updater.apply(batch);
        index = updater.takeIndex();
    }
    FileIndex index;
    SharedNameTable names;
    SharedIndexNavigator navigator = std::make_shared<IndexNavigator>();
};

// The paths only on one side (gtest prints the first 32 of each), after the round's log.
void expectConsistent(const LiveIndex& live, const test::TempTree& tree, int round,
                      const TreeMutator& mutator) {
    const auto disk = diskPaths(tree), indexed = livePaths(live.index, *live.names);
    ASSERT_EQ(live.index.checkInvariants(), "") << "round " << round;
    std::vector<std::string> missing, extra;
    std::ranges::set_difference(disk, indexed, std::back_inserter(missing));
    std::ranges::set_difference(indexed, disk, std::back_inserter(extra));
    ASSERT_TRUE(missing.empty() && extra.empty())
        << "round " << round << ", after:\n"
        << mutator.log() << "missing from the index: " << testing::PrintToString(missing)
        << "\nextra: " << testing::PrintToString(extra);
}

// Variant (a): the test names the touched paths itself, split over one to three batches,
// sometimes one updater for all of them, sometimes the whole tree as a subtree to rescan.
TEST(LiveConsistency, BatchesMadeFromTheTouchedPaths) {
    const std::uint64_t seed = test::testSeed("LiveConsistencyTouchedPaths");
    test::TempTree tree, outside;
    TreeMutator mutator(tree, outside, seed);
    mutator.populate(300, 2500);
    LiveIndex live(tree.root());
    std::mt19937_64 random(seed + 1);
    const int rounds = envInt("VESKO_LIVE_ROUNDS", 200);
    for (int round = 0; round < rounds; ++round) {
        const auto touched = mutator.round(round == rounds / 2);
        std::vector<Batch> batches(1 + random() % 3);
        for (const auto& path : touched)
            batches[random() % batches.size()].paths.push_back(path);
        if (random() % 10 == 0) batches = {Batch{{}, {tree.root()}, 0}};
        if (random() % 2) {
            for (const auto& batch : batches)
                live.apply(batch);
        } else {
            IndexUpdater updater(live.index, live.names, live.navigator);
            for (const auto& batch : batches)
                updater.apply(batch);
            live.index = updater.takeIndex();
        }
        ASSERT_NO_FATAL_FAILURE(expectConsistent(live, tree, round, mutator));
    }
}

// Waits until the watcher has read every event of the round: a fresh marker file is the
// round's last change, and the kernel queues events in order. When the event queue
// overflowed, the marker's own event may be lost; the root rescan (the root named in
// mustScanSubtrees) then covers everything, and later events join the next round.
Batch collectRound(test::BatchRecorder& collector, const test::TempTree& tree, int round) {
    const std::string marker = tree.path(".marker" + std::to_string(round));
    std::ofstream(marker) << round;
    EXPECT_TRUE(collector.waitForAny({marker, tree.root()}, 15s)) << "no batch named " << marker;
    Batch batch = collector.takeMerged();
    std::remove(marker.c_str());
    batch.paths.push_back(marker);
    return batch;
}

// Variant (b): the real watcher produces the batches.
TEST(LiveConsistency, BatchesFromTheWatcher) {
    test::TempTree tree, outside;
    TreeMutator mutator(tree, outside, test::testSeed("LiveConsistencyWatcher"));
    mutator.populate(200, 2000);
    LiveIndex live(tree.root());
    test::BatchRecorder collector;
    FileSystemWatcher watcher(collector.handler(), test::fastWatcher());
    watcher.start({tree.root()}, 0);
    const int rounds = envInt("VESKO_LIVE_ROUNDS", 60);
    for (int round = 0; round < rounds; ++round) {
        mutator.round(round == rounds / 3);
        live.apply(collectRound(collector, tree, round));
        ASSERT_NO_FATAL_FAILURE(expectConsistent(live, tree, round, mutator));
    }
    EXPECT_TRUE(watcher.isRunning());
}

} // namespace
} // namespace vesko
