// SPDX-License-Identifier: GPL-3.0-or-later
// bench_rank [--entries N] [--seed S]: how often relevance puts the file the user means first.
// A generated home (TreeIndex, in memory) gets, for each of 19 words it never uses, the user's
// own document beside what application data holds of the same word: copies in caches, the
// Trash, a browser cache and Flatpak and Steam folders, a package folder in node_modules and
// site-packages, bytecode in __pycache__, build output in target and build, a branch in .git,
// a man page, and the settings and snap folders of an application of that name. Caches are
// fresher than the document. Each word is asked four ways: the word,
// its first four letters, "word ext" and "word !tmp". Printed: how often the intended file
// is first and among the first three under the order before noise, use and age counted
// (rank, depth, length; boolean queries in index order, worked out here), then under
// relevance as it is, without use counts and with half the intended files opened lately.
#include "BenchSupport.h"
#include "TreeIndex.h"
#include "TreeVocabulary.h"
#include "search/Search.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace vesko;

constexpr std::array<const char*, 19> words{
    "passport",  "mortgage",  "itinerary", "syllabus",   "payslip",  "lease",      "warranty",
    "wedding",   "diploma",   "visa",      "insurance",  "pension",  "transcript", "certificate",
    "portfolio", "quotation", "blueprint", "manuscript", "timesheet"};
constexpr std::array<const char*, 4> extensions{"pdf", "docx", "odt", "xlsx"};
constexpr std::int64_t day = 86400;

// Where application data keeps something of the word W with extension E.
const std::array<const char*, 16> noiseKinds{
    ".config/W/",
    "snap/W/current/",
    ".cache/evolution/mail/attachments/W.E",
    ".local/share/Trash/files/W.E",
    ".cache/mozilla/firefox/x1y2.default-release/cache2/W.E",
    "Projects/web/node_modules/W/",
    "Projects/web/node_modules/@types/W/index.d.ts",
    ".local/lib/python3.11/site-packages/W/",
    "Projects/tool/__pycache__/W.cpython-311.pyc",
    "Projects/engine/target/debug/W",
    "Projects/site/build/W.E",
    ".local/share/Steam/steamapps/common/Atlas/docs/W.E",
    ".var/app/org.libreoffice.LibreOffice/cache/W.E",
    ".local/share/man/man1/W.1.gz",
    "Projects/app/.git/refs/heads/W",
    ".local/share/flatpak/app/org.gnome.Papers/current/active/files/share/doc/W.E",
};
const std::array<const char*, 5> userFolders{"Documents", "Documents/Work",
                                             "Documents/Personal/2024", "Desktop", "Downloads"};

std::string replaced(std::string text, const std::string& word, const std::string& extension) {
    for (std::size_t at; (at = text.find('W')) != std::string::npos;)
        text.replace(at, 1, word);
    for (std::size_t at; (at = text.find(".E")) != std::string::npos;)
        text.replace(at + 1, 1, extension);
    return text;
}

// Adds entries below the generated home's root, making folders as paths need them.
class HomeWriter {
public:
    HomeWriter(FileIndex& index, NameTable& names) : index_(index), names_(names) {}

    // A trailing slash makes the last part a folder. Returns the last part's entry.
    std::int64_t add(const std::string& relative, std::uint32_t modified) {
        std::uint32_t dir = 0;
        std::int64_t entry = -1;
        for (std::size_t from = 0;;) {
            const std::size_t slash = relative.find('/', from);
            const std::string part = relative.substr(from, slash - from);
            if (slash == std::string::npos) {
                if (part.empty()) return entry;
                index_.appendEntry(names_.intern(part), dir, EntryFlags::none(), 0, modified,
                                   modified, modified);
                return index_.count() - 1;
            }
            auto known = folders_.find(relative.substr(0, slash));
            if (known == folders_.end()) {
                const std::uint32_t name = names_.intern(part);
                index_.appendEntry(name, dir, EntryFlags::directory(), 0, modified, modified,
                                   modified);
                known = folders_
                            .emplace(relative.substr(0, slash),
                                     Folder{index_.directoryCount(), index_.count() - 1})
                            .first;
                index_.dirParent.append(dir);
                index_.dirName.append(name);
            }
            dir = known->second.dir;
            entry = known->second.entry;
            from = slash + 1;
        }
    }

private:
    struct Folder {
        std::uint32_t dir;
        std::int64_t entry;
    };
    FileIndex& index_;
    NameTable& names_;
    std::map<std::string, Folder> folders_; // by path below the root
};

struct Case {
    std::string word, extension;
    std::int64_t intended = -1;
    std::string intendedPath;
};

struct Tally {
    int first = 0, topThree = 0, asked = 0;
    void count(int position) {
        ++asked;
        first += position == 0;
        topThree += position >= 0 && position < 3;
    }
    void print(const char* label) const {
        std::printf("%-52s %3d/%d %5.1f%%   %3d/%d %5.1f%%\n", label, first, asked,
                    100.0 * first / asked, topThree, asked, 100.0 * topThree / asked);
    }
};

int depthOf(const FileIndex& index, std::uint32_t dir) {
    int depth = 0;
    for (; index.dirParent[dir] != dir && depth < 129; dir = index.dirParent[dir])
        ++depth;
    return depth;
}

// The order before: plain queries by rank, depth, length, folded name and index order;
// expressions in index order.
std::vector<std::int64_t> orderBefore(const std::string& query, const FileIndex& index,
                                      const NameTable& names) {
    Search::Request request;
    request.query = query;
    request.sort = {ResultSort::Field::none, true};
    request.limit = std::numeric_limits<std::int64_t>::max();
    const Search::Result all = Search::run(request, index, names);
    std::vector<std::int64_t> hits;
    for (const auto& hit : all.hits)
        hits.push_back(hit.entry);
    const auto choice = Search::chooseRule(Search::normalize(query), false, false, false);
    if (choice.rule->kind() != Search::NameRule::Kind::substring) return hits;
    const std::string& needle = choice.rule->needle();
    auto key = [&](std::int64_t e) {
        const auto i = static_cast<std::size_t>(e);
        const MatchRank rank = names.matchRank(index.entryName[i], needle);
        return std::tuple(rank.rank, depthOf(index, index.entryDir[i]), rank.length);
    };
    std::ranges::stable_sort(hits, [&](std::int64_t a, std::int64_t b) {
        const auto x = key(a), y = key(b);
        if (x != y) return x < y;
        const int c = names.compareFolded(index.entryName[static_cast<std::size_t>(a)],
                                          index.entryName[static_cast<std::size_t>(b)]);
        return c != 0 ? c < 0 : a < b;
    });
    return hits;
}

int positionOf(std::int64_t entry, const std::vector<std::int64_t>& hits) {
    const auto at = std::ranges::find(hits, entry);
    return at == hits.end() ? -1 : static_cast<int>(at - hits.begin());
}

} // namespace

int main(int argc, char** argv) {
    int entries = 1'000'000, seed = 42;
    const auto root = bench::Options("bench_rank HOME [--entries N] [--seed S]")
                          .count("--entries", entries)
                          .count("--seed", seed)
                          .parse(argc, argv);
    if (!root) return 2;
    TreeShape shape;
    shape.entries = entries;
    shape.seed = static_cast<std::uint64_t>(seed);
    const auto began = bench::Clock::now();
    treegen::PlannedIndex home = treegen::indexFromPlan(*root, shape);
    FileIndex& index = home.index;
    NameTable& names = *home.names;
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    treegen::Rng rng(static_cast<std::uint64_t>(seed) * 7919);
    HomeWriter writer(index, names);
    std::vector<Case> cases;
    for (std::size_t k = 0; k < words.size(); ++k) {
        Case c{words[k], extensions[k % extensions.size()], -1, {}};
        // Half are named the word itself, a quarter with a year after it, a quarter with a
        // word before it (a weaker match than every copy named the word alone).
        const char* const forms[] = {"W.E", "W.E", "W 2024.E", "scan-W.E"};
        const std::string own = std::string(userFolders[rng.below(userFolders.size())]) + "/" +
                                replaced(forms[rng.below(4)], c.word, c.extension);
        std::vector<std::pair<std::string, std::int64_t>> planned{
            {own, now - static_cast<std::int64_t>(1 + rng.below(60)) * day}};
        std::array<std::size_t, noiseKinds.size()> kinds{};
        for (std::size_t i = 0; i < kinds.size(); ++i)
            kinds[i] = i;
        for (std::size_t i = 0; i < 6; ++i) {
            std::swap(kinds[i], kinds[i + rng.below(kinds.size() - i)]);
            const std::string path = replaced(noiseKinds[kinds[i]], c.word, c.extension);
            const bool manual = path.find("/man/") != std::string::npos;
            planned.emplace_back(path, now - (manual ? 900 * day : rng.below(2 * day)));
        }
        for (std::size_t i = planned.size(); i > 1; --i)
            std::swap(planned[i - 1], planned[rng.below(i)]);
        for (const auto& [path, modified] : planned) {
            const std::int64_t entry = writer.add(path, static_cast<std::uint32_t>(modified));
            if (path == own) {
                c.intended = entry;
                c.intendedPath = index.path(entry, names);
            }
        }
        cases.push_back(std::move(c));
    }
    std::printf("home: %lld entries (%d generated, seed %d) built in %.1f s\n",
                static_cast<long long>(index.count()), entries, seed, bench::secondsSince(began));

    UseCounts counts;
    for (std::size_t k = 0; k < cases.size(); k += 2)
        for (int use = 0; use < 3; ++use)
            counts.record(cases[k].intendedPath, now - use * 2 * day);
    const auto used = std::make_shared<const UsedFiles>(counts, now);

    Tally before, after, afterUsed;
    std::array<Tally, 4> byForm, beforeByForm;
    std::shared_ptr<const FolderNoise> noise;
    for (const Case& c : cases) {
        const std::string queries[] = {c.word, c.word.substr(0, 4), c.word + " " + c.extension,
                                       c.word + " !tmp"};
        for (std::size_t form = 0; form < std::size(queries); ++form) {
            const std::string& query = queries[form];
            const int old = positionOf(c.intended, orderBefore(query, index, names));
            before.count(old);
            beforeByForm[form].count(old);
            for (const bool withUses : {false, true}) {
                Search::Request request;
                request.query = query;
                request.limit = 3;
                request.folderNoise = noise;
                if (withUses) request.usedFiles = used;
                const Search::Result result = Search::run(request, index, names);
                noise = result.folderNoise;
                std::vector<std::int64_t> hits;
                for (const auto& hit : result.hits)
                    hits.push_back(hit.entry);
                const int position = positionOf(c.intended, hits);
                (withUses ? afterUsed : after).count(position);
                if (!withUses) byForm[form].count(position);
            }
        }
    }
    std::printf("\n%-52s %-17s %s\n", "intended file", "first", "among the first 3");
    before.print("before: rank, depth, length; boolean in index order");
    after.print("relevance, no use counts");
    afterUsed.print("relevance, half the intended files opened lately");
    std::printf("\nby query form, before and with relevance (no use counts):\n");
    const char* const formLabels[] = {"the word", "its first four letters", "\"word ext\"",
                                      "\"word !tmp\""};
    for (std::size_t form = 0; form < byForm.size(); ++form) {
        beforeByForm[form].print(("  " + std::string(formLabels[form]) + ", before").c_str());
        byForm[form].print(("  " + std::string(formLabels[form]) + ", relevance").c_str());
    }
    return 0;
}
