// SPDX-License-Identifier: GPL-3.0-or-later
// gen_tree ROOT [--entries N] [--seed S]: makes the benchmark tree once and reuses it while
// the stamp beside it (ROOT.vesko-tree-stamp) names the same generator, seed and size.
// gen_tree --verify [--entries N] [--seed S]: checks that generation is deterministic.
#include "TreeGenerator.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
    std::string root;
    vesko::TreeShape shape;
    bool verify = false;
    bool entriesGiven = false;
};

template <typename T> std::optional<T> parseNumber(const std::string& text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--verify") {
            options.verify = true;
        } else if (arg == "--entries" && hasValue) {
            const auto n = parseNumber<std::int64_t>(argv[++i]);
            if (!n || *n < 0) return std::nullopt;
            options.shape.entries = *n;
            options.entriesGiven = true;
        } else if (arg == "--seed" && hasValue) {
            const auto n = parseNumber<std::uint64_t>(argv[++i]);
            if (!n) return std::nullopt;
            options.shape.seed = *n;
        } else if (options.root.empty() && !arg.starts_with("--")) {
            options.root = arg;
        } else {
            return std::nullopt;
        }
    }
    if (options.root.empty() && !options.verify) return std::nullopt;
    return options;
}

std::string stampHeader(const vesko::TreeShape& shape) {
    return "vesko-tree version=" + std::to_string(vesko::treeGeneratorVersion) +
           " seed=" + std::to_string(shape.seed) + " entries=" + std::to_string(shape.entries);
}

std::string stampPath(const std::string& root) {
    std::string path = root;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path + ".vesko-tree-stamp";
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

// One line per entry, sorted: path, type, length, modified time and, for files holding
// data blocks, a hash of their bytes. Sparse lengths are compared without reading them.
std::vector<std::string> listing(const std::string& root) {
    std::vector<std::string> lines;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        if (::lstat(entry.path().c_str(), &st) != 0) continue;
        std::uint64_t hash = 0xCBF29CE484222325ull;
        if (S_ISREG(st.st_mode) && st.st_blocks > 0) {
            std::ifstream in(entry.path(), std::ios::binary);
            for (char c; in.get(c);)
                hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
        }
        lines.push_back(fs::relative(entry.path(), root).string() + "\t" +
                        std::to_string(st.st_mode) + "\t" + std::to_string(st.st_size) + "\t" +
                        std::to_string(st.st_mtim.tv_sec) + "\t" + std::to_string(hash));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The stats the generator reports, recounted from what is on disk.
bool statsMatchDisk(const vesko::TreeStats& stats, const std::vector<std::string>& lines) {
    int maxDepth = 0;
    std::int64_t bogoseo = 0, hidden = 0;
    for (const std::string& line : lines) {
        const std::string path = line.substr(0, line.find('\t'));
        maxDepth =
            std::max(maxDepth, 1 + static_cast<int>(std::count(path.begin(), path.end(), '/')));
        const std::string name = path.substr(path.rfind('/') + 1);
        bogoseo += name.find("보고서") != std::string::npos;
        hidden += name.starts_with(".");
    }
    return maxDepth == stats.maxDepth && bogoseo == stats.bogoseoNfc && hidden == stats.hidden;
}

std::string makeTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vesko-gen-verify-XXXXXX";
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

bool check(bool condition, const std::string& what) {
    std::cout << (condition ? "  ok    " : "  FAIL  ") << what << "\n";
    return condition;
}

// Generates twice with the same seed and once with another, into temporary folders.
int verify(vesko::TreeShape shape) {
    const std::string a = makeTempDir(), b = makeTempDir(), c = makeTempDir();
    if (a.empty() || b.empty() || c.empty()) {
        std::cerr << "gen_tree: cannot create temporary folders\n";
        return 1;
    }
    const vesko::TreeStats first = vesko::generateTree(a, shape);
    const vesko::TreeStats second = vesko::generateTree(b, shape);
    vesko::TreeShape other = shape;
    ++other.seed;
    const vesko::TreeStats third = vesko::generateTree(c, other);
    bool ok = check(first.error.empty() && second.error.empty() && third.error.empty(),
                    "generation succeeded " + first.error + second.error + third.error);
    const auto listA = listing(a), listB = listing(b), listC = listing(c);
    ok &= check(listA == listB,
                "same seed gives identical trees (" + std::to_string(listA.size()) + " entries)");
    ok &= check(listA != listC, "another seed gives another tree");
    ok &= check(static_cast<std::int64_t>(listA.size()) == shape.entries &&
                    first.entries == shape.entries,
                "entry count is the one asked for");
    ok &= check(first.folders + first.files == first.entries, "folders plus files add up");
    ok &= check(statsMatchDisk(first, listA), "depth, hidden and 보고서 counts match the disk");
    for (const auto& dir : {a, b, c})
        fs::remove_all(dir);
    std::cout << vesko::describe(first) << "\n"
              << (ok ? "verify: passed" : "verify: FAILED") << "\n";
    return ok ? 0 : 1;
}

// A folder that is not ours is never deleted: only one with a stamp, finished or not.
int generate(const Options& options) {
    const std::string stamp = stampPath(options.root);
    const std::string header = stampHeader(options.shape);
    const std::optional<std::string> existing = readFile(stamp);
    if (existing && existing->starts_with(header + "\ncomplete\n")) {
        std::cout << "gen_tree: reusing " << options.root << " (" << header << ")\n";
        return 0;
    }
    std::error_code error;
    if (fs::exists(options.root, error) && !fs::is_empty(options.root, error)) {
        if (!existing) {
            std::cerr << "gen_tree: " << options.root << " is not empty and has no " << stamp
                      << "; it is not a generated tree. Choose another folder or remove it.\n";
            return 2;
        }
        std::cout << "gen_tree: removing the old tree in " << options.root << "\n";
        fs::remove_all(options.root, error);
    }
    if (!writeFile(stamp, header + "\ngenerating\n")) {
        std::cerr << "gen_tree: cannot write " << stamp << "\n";
        return 1;
    }
    const vesko::TreeStats stats = vesko::generateTree(options.root, options.shape);
    std::cout << vesko::describe(stats) << "\n";
    if (!stats.error.empty()) return 1;
    return writeFile(stamp, header + "\ncomplete\n" + vesko::describe(stats) + "\n") ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        std::cerr << "usage: gen_tree ROOT [--entries N] [--seed S]\n"
                     "       gen_tree --verify [--entries N] [--seed S]   (default 5000 entries)\n";
        return 2;
    }
    if (options->verify) {
        if (!options->entriesGiven) options->shape.entries = 5'000;
        return verify(options->shape);
    }
    return generate(*options);
}
