// SPDX-License-Identifier: MIT
#include "TreeGenerator.h"

#include "scan/DirectoryScanner.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace vesko {
namespace {

using Words = std::span<const std::string_view>;

// splitmix64: tiny, fast, and the same sequence on every platform (no std distributions,
// whose results differ between standard libraries).
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint64_t n) {
        return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32);
    }
    std::int64_t between(std::int64_t lo, std::int64_t hi) { return lo + below(hi - lo + 1); }
    // p in thousandths keeps every decision in integers.
    bool perMille(std::uint32_t p) { return below(1000) < p; }
    std::string_view pick(Words words) { return words[below(words.size())]; }

private:
    std::uint64_t state_;
};

std::uint64_t mix(std::uint64_t a, std::uint64_t b) {
    return Rng(a ^ (b * 0xD1B54A32D192ED03ull)).next();
}

// Repetition in these lists is the weight.
constexpr std::string_view asciiWords[] = {
    "readme",  "index",  "store",    "swift",   "json",   "report",  "notes",    "main",
    "util",    "config", "data",     "test",    "build",  "draft",   "final",    "backup",
    "invoice", "photo",  "scan",     "summary", "todo",   "package", "module",   "server",
    "client",  "model",  "view",     "search",  "file",   "image",   "meeting",  "budget",
    "plan",    "letter", "contract", "thesis",  "slides", "lecture", "homework", "recipe",
    "travel",  "family", "core",     "kotlin",  "parser", "query",   "table",    "cache",
    "index",   "report", "store",    "readme",  "notes",  "swift",   "log",      "debug"};
constexpr std::string_view koreanWords[] = {
    "보고서", "사진", "문서",   "회의록",     "계약서", "과제",  "발표자료", "이력서",
    "영수증", "여행", "가족",   "프로젝트",   "음악",   "메모",  "기획안",   "보고서",
    "정산",   "일정", "견적서", "사업계획서", "강의",   "보고서"};
constexpr std::string_view koreanSuffixes[] = {"최종", "수정본", "초안", "복사본", "최종_진짜"};
constexpr std::string_view accentedWords[] = {
    "résumé",   "café",  "naïve",    "Übersicht", "façade", "crème brûlée", "Zürich", "São Paulo",
    "jalapeño", "élève", "Ångström", "Résumé",    "résumé", "déjà vu",      "piñata", "Málaga"};
constexpr std::string_view dotFiles[] = {
    ".gitignore", ".DS_Store",     ".env",           ".bashrc",  ".profile", ".editorconfig",
    ".npmrc",     ".clang-format", ".gitattributes", ".viminfo", ".lesshst", ".python_history"};
constexpr std::string_view separators[] = {"_", "-", " ", "", "_", "-", " "};

enum class Theme { general, documents, photos, code, git, cache, music, config };

constexpr std::string_view generalExts[] = {
    ".txt", ".md",   ".json", ".pdf", ".docx", ".hwp",  ".zip",    ".png", ".jpg", ".txt",
    ".pdf", ".xlsx", ".pptx", ".csv", ".log",  ".html", ".tar.gz", ".mp4", ".py",  ".sh"};
constexpr std::string_view documentExts[] = {
    ".pdf", ".docx", ".hwp", ".txt", ".md",  ".xlsx", ".pptx",  ".pdf", ".hwp", ".docx",
    ".zip", ".png",  ".jpg", ".odt", ".rtf", ".key",  ".pages", ".csv", ".pdf", ".txt"};
constexpr std::string_view photoExts[] = {".jpg", ".jpg", ".jpg", ".png", ".heic", ".jpeg",
                                          ".JPG", ".png", ".gif", ".mov", ".mp4",  ".webp"};
constexpr std::string_view codeExts[] = {
    ".c",  ".h",     ".cpp",   ".cpp",  ".h",  ".hpp",   ".py",   ".py",   ".js",  ".js",
    ".ts", ".swift", ".swift", ".json", ".md", ".txt",   ".go",   ".rs",   ".sh",  ".yml",
    ".o",  ".html",  ".css",   ".java", ".kt", ".cmake", ".toml", ".lock", ".map", ".d.ts"};
constexpr std::string_view cacheExts[] = {"",     "",     ".tmp",   ".json",   ".db",  ".png",
                                          ".jpg", ".bin", ".cache", ".sqlite", ".idx", ".pack"};
constexpr std::string_view musicExts[] = {".mp3", ".mp3", ".flac", ".m4a", ".ogg",
                                          ".jpg", ".wav", ".cue",  ".m3u", ".txt"};
constexpr std::string_view configExts[] = {".conf", ".json", ".ini", ".toml", ".yaml", ".xml",
                                           ".cfg",  "",      ".db",  ".js",   ".lock", ".list"};

constexpr std::string_view codeFolders[] = {
    "src",     "lib",     "include",      "tests",   "test",     "build",      "docs",
    "assets",  "scripts", "node_modules", "vendor",  "internal", "components", "utils",
    "cmd",     "pkg",     "examples",     "Sources", "Tests",    ".git",       ".github",
    ".vscode", "dist",    "bin",          "core",    "search",   "index",      "store",
    "views",   "models",  "Resources",    "fixtures"};
constexpr std::string_view generalFolders[] = {
    "Archive", "Old",    "Projects",  "New Folder", "Work",    "School",   "Personal", "Taxes",
    "Backup",  "Misc",   "Books",     "Receipts",   "Travel",  "Invoices", "Notes",    "Shared",
    "Reports", "Drafts", "Templates", "Scans",      "Letters", "Slides"};
constexpr std::string_view gitFolders[] = {"objects", "refs", "hooks",   "info", "logs",
                                           "heads",   "tags", "remotes", "pack", "origin"};
constexpr std::string_view cacheFolders[] = {
    "pip",        "thumbnails",    "fontconfig", "mesa_shader_cache",
    "mozilla",    "google-chrome", "yarn",       "go-build",
    "Cache_Data", "large",         "normal",     "ccache"};
constexpr std::string_view configFolders[] = {
    "Code",    "gtk-3.0", "fish",       "nvim",       "pulse",     "dconf",       "autostart",
    "systemd", "user",    "fontconfig", "kdeconnect", "JetBrains", "libreoffice", "git"};

Words extsOf(Theme theme) {
    switch (theme) {
    case Theme::documents:
        return documentExts;
    case Theme::photos:
        return photoExts;
    case Theme::code:
        return codeExts;
    case Theme::git:
    case Theme::cache:
        return cacheExts;
    case Theme::music:
        return musicExts;
    case Theme::config:
        return configExts;
    case Theme::general:
        break;
    }
    return generalExts;
}

Theme themeOf(std::string_view name, Theme parent) {
    static constexpr std::pair<std::string_view, Theme> named[] = {
        {".git", Theme::git},           {".cache", Theme::cache},
        {"thumbnails", Theme::cache},   {".config", Theme::config},
        {"Pictures", Theme::photos},    {"사진", Theme::photos},
        {"DCIM", Theme::photos},        {"Camera", Theme::photos},
        {"Screenshots", Theme::photos}, {"Documents", Theme::documents},
        {"문서", Theme::documents},     {"Desktop", Theme::documents},
        {"Downloads", Theme::general},  {"Projects", Theme::code},
        {"src", Theme::code},           {"node_modules", Theme::code},
        {"Music", Theme::music},        {"음악", Theme::music}};
    for (const auto& [folder, theme] : named)
        if (name == folder) return theme;
    return parent;
}

std::string capitalized(std::string_view word) {
    std::string out(word);
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
    return out;
}

std::string padded(std::int64_t value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return digits;
}

std::string hexName(Rng& rng, int digits) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < digits; ++i)
        out += hex[rng.below(16)];
    return out;
}

std::string nfd(std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status)) return std::string(utf8);
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
    std::string out;
    normalizer->normalize(text, status).toUTF8String(out);
    return U_FAILURE(status) ? std::string(utf8) : out;
}

std::string year(Rng& rng) {
    return std::to_string(rng.between(2015, 2025));
}

std::string koreanStem(Rng& rng) {
    std::string stem(rng.pick(koreanWords));
    if (rng.perMille(500)) stem += "_" + year(rng);
    if (rng.perMille(300)) stem += "_" + std::string(rng.pick(koreanSuffixes));
    if (rng.perMille(150)) stem += " " + std::string(rng.pick(koreanWords));
    // Names copied from another system's file systems often arrive decomposed.
    return rng.perMille(250) ? nfd(stem) : stem;
}

std::string accentedStem(Rng& rng) {
    std::string stem(rng.pick(accentedWords));
    if (rng.perMille(400)) stem += " " + year(rng);
    return rng.perMille(500) ? nfd(stem) : stem;
}

// Each random draw is its own statement: the operands of + are unsequenced, and the tree
// must not depend on the compiler's evaluation order.
std::string screenshotStem(Rng& rng) {
    std::string stem = "Screenshot " + year(rng);
    stem += "-" + padded(rng.between(1, 12), 2);
    stem += "-" + padded(rng.between(1, 28), 2);
    stem += " at " + std::to_string(rng.between(1, 12));
    stem += "." + padded(rng.below(60), 2);
    return stem + "." + padded(rng.below(60), 2);
}

std::string photoStem(Rng& rng) {
    switch (rng.below(5)) {
    case 0:
        return "IMG_" + padded(rng.between(1, 9999), 4);
    case 1:
        return "DSC" + padded(rng.between(1, 99999), 5);
    case 2:
        return screenshotStem(rng);
    case 3:
        return "사진 " + padded(rng.between(1, 999), 3);
    default: {
        std::string stem = "PXL_" + year(rng);
        stem += padded(rng.between(101, 1231), 4);
        return stem + "_" + padded(rng.below(1000000), 6);
    }
    }
}

std::string asciiStem(Rng& rng) {
    const std::uint32_t r = rng.below(100);
    std::string word(rng.pick(asciiWords));
    if (r < 25) return rng.perMille(200) ? capitalized(word) : (rng.perMille(60) ? "README" : word);
    std::string sep(rng.pick(separators));
    if (r < 40) return word + sep + std::string(rng.pick(asciiWords));
    if (r < 55) {
        std::string stem = word + sep + year(rng);
        if (rng.perMille(300)) stem += sep + padded(rng.between(1, 12), 2);
        return stem;
    }
    if (r < 67) {
        const int width = rng.perMille(500) ? 3 : 1;
        return word + sep + padded(rng.between(0, 999), width);
    }
    if (r < 85) return capitalized(word) + capitalized(rng.pick(asciiWords));
    word += "-" + std::string(rng.pick(asciiWords));
    return word + "-" + std::string(rng.pick(asciiWords));
}

std::string fileStem(Theme theme, Rng& rng) {
    if (theme == Theme::git || theme == Theme::cache)
        return hexName(rng, rng.perMille(500) ? 38 : 16);
    if (theme == Theme::photos && rng.perMille(800)) return photoStem(rng);
    const std::uint32_t r = rng.below(1000);
    if (r < 70) return koreanStem(rng);
    if (r < 95) return accentedStem(rng);
    if (r < 105) return photoStem(rng);
    return asciiStem(rng);
}

std::string fileName(Theme theme, Rng& rng) {
    if (rng.perMille(15)) return std::string(rng.pick(dotFiles));
    std::string name = fileStem(theme, rng);
    if (theme != Theme::git && rng.perMille(30)) return name; // LICENSE, Makefile and the like
    return name + std::string(rng.pick(extsOf(theme)));
}

std::string folderName(Theme theme, Rng& rng) {
    const std::uint32_t r = rng.below(100);
    switch (theme) {
    case Theme::git:
        return r < 60 ? hexName(rng, 2) : std::string(rng.pick(gitFolders));
    case Theme::cache:
        return r < 50 ? hexName(rng, 2) : std::string(rng.pick(cacheFolders));
    case Theme::config:
        return r < 70 ? std::string(rng.pick(configFolders)) : asciiStem(rng);
    case Theme::code:
        return r < 65 ? std::string(rng.pick(codeFolders)) : asciiStem(rng);
    case Theme::photos:
        if (r < 40) return year(rng);
        if (r < 75) {
            std::string name = year(rng);
            name += "-" + padded(rng.between(1, 12), 2) + " ";
            return name + (rng.perMille(500) ? koreanStem(rng) : capitalized(rng.pick(asciiWords)));
        }
        break;
    default:
        break;
    }
    if (r < 30) return std::string(rng.pick(generalFolders));
    if (r < 40) return koreanStem(rng);
    if (r < 44) return accentedStem(rng);
    if (r < 52) return year(rng);
    return capitalized(asciiStem(rng));
}

// --- The plan: folders and how many files each holds, before anything touches the disk.

struct PlannedFolder {
    std::uint32_t parent = 0;
    int depth = 0;
    Theme theme = Theme::general;
    std::string name;
    std::uint32_t files = 0;
    std::vector<std::uint32_t> children;
};

struct Plan {
    std::vector<PlannedFolder> folders; // [0] is the root itself
    std::vector<std::vector<std::uint32_t>> byDepth;
    std::unordered_set<std::string> taken; // "parent/name" keys keep sibling names unique
};

std::uint32_t addFolder(Plan& plan, std::uint32_t parent, std::string name) {
    const std::string base = name;
    for (int n = 2; !plan.taken.insert(std::to_string(parent) + "/" + name).second; ++n)
        name = base + " " + std::to_string(n);
    const auto id = static_cast<std::uint32_t>(plan.folders.size());
    PlannedFolder folder;
    folder.parent = parent;
    folder.depth = plan.folders[parent].depth + 1;
    folder.theme = themeOf(name, plan.folders[parent].theme);
    folder.name = std::move(name);
    plan.folders.push_back(std::move(folder));
    plan.folders[parent].children.push_back(id);
    if (plan.byDepth.size() <= static_cast<std::size_t>(plan.folders[id].depth))
        plan.byDepth.resize(plan.folders[id].depth + 1);
    plan.byDepth[plan.folders[id].depth].push_back(id);
    return id;
}

// The fixed top of a desktop home folder: where a real tree would start.
void addSkeleton(Plan& plan, std::int64_t folderCount) {
    static constexpr std::pair<int, std::string_view> skeleton[] = {
        {0, "Desktop"}, {0, "Documents"}, {0, "Downloads"}, {0, "Music"},  {0, "Pictures"},
        {0, "Videos"},  {0, "Projects"},  {0, "문서"},      {0, "사진"},   {0, "Templates"},
        {0, ".config"}, {0, ".cache"},    {0, ".local"},    {0, ".ssh"},   {0, ".mozilla"},
        {0, ".vscode"}, {0, ".npm"},      {13, "share"},    {13, "state"}, {13, "bin"},
        {7, "vesko"},   {2, "보고서"},    {21, ".git"},     {21, "src"},   {18, "Trash"}};
    for (const auto& [parent, name] : skeleton) {
        if (static_cast<std::int64_t>(plan.folders.size()) > folderCount) return;
        addFolder(plan, static_cast<std::uint32_t>(parent), std::string(name));
    }
}

// Folder depths (2..14) by weight: most between 2 and 7, so most files sit at 3 to 8. The
// top level is the fixed skeleton only, as in a real home folder.
int pickDepth(Rng& rng, int deepestSoFar) {
    static constexpr std::array<int, 15> weight = {0,  0,  100, 180, 200, 170, 120, 80,
                                                   50, 30, 20,  12,  8,   5,   3};
    int total = 0;
    for (int w : weight)
        total += w;
    int r = static_cast<int>(rng.below(static_cast<std::uint64_t>(total)));
    int depth = 1;
    while (r >= weight[depth])
        r -= weight[depth++];
    return std::min(depth, deepestSoFar + 1);
}

std::uint32_t pickParent(Plan& plan, Rng& rng, int depth) {
    const auto& level = plan.byDepth[depth - 1];
    // Half the time a recent folder, so some folders grow many sub-folders as real ones do.
    if (rng.perMille(600))
        return level[level.size() - 1 - rng.below(std::min<std::size_t>(level.size(), 16))];
    return level[rng.below(level.size())];
}

void assignFiles(Plan& plan, Rng& rng, std::int64_t files) {
    const auto count = static_cast<std::uint32_t>(plan.folders.size());
    for (std::int64_t i = 0; i < files; ++i) {
        std::uint32_t folder = 0;
        if (count > 1 && rng.below(50'000) != 0) { // a home folder's top holds few files
            folder = 1 + rng.below(count - 1);
            // Every 53rd folder is a crowded one (photo dumps, package caches, objects).
            if (rng.perMille(300))
                folder = std::min<std::uint32_t>(folder / 53 * 53 + 1, count - 1);
            // Every 29th folder stays empty.
            if (folder % 29 == 3) folder = std::min<std::uint32_t>(folder + 1, count - 1);
        }
        ++plan.folders[folder].files;
    }
}

Plan makePlan(const TreeShape& shape) {
    Rng rng(mix(shape.seed, 0x706c616e));
    const std::int64_t entries = std::max<std::int64_t>(shape.entries, 0);
    const auto folderCount = std::clamp<std::int64_t>(
        static_cast<std::int64_t>(entries * shape.folderShare), 0, entries);
    Plan plan;
    plan.folders.emplace_back(); // the root
    plan.byDepth.push_back({0});
    addSkeleton(plan, folderCount);
    while (static_cast<std::int64_t>(plan.folders.size()) <= folderCount) {
        const int depth = pickDepth(rng, static_cast<int>(plan.byDepth.size()) - 1);
        const std::uint32_t parent = pickParent(plan, rng, depth);
        addFolder(plan, parent, folderName(plan.folders[parent].theme, rng));
    }
    assignFiles(plan, rng, entries - folderCount);
    return plan;
}

// --- Writing the plan to disk.

class GenerationError : public std::runtime_error {
public:
    GenerationError(const std::string& what, const std::string& path, int error)
        : std::runtime_error(what + " " + path + ": " + std::strerror(error)) {}
};

using Fd = vesko::DirectoryScanner::Descriptor;

std::uint64_t fileLength(std::string_view name, Rng& rng) {
    const auto dot = name.rfind('.');
    const std::string_view ext = dot == std::string_view::npos ? "" : name.substr(dot);
    int lo = 4, hi = 16; // log2 bounds: 16 B .. 64 KiB for text and code
    if (ext == ".jpg" || ext == ".png" || ext == ".heic" || ext == ".JPG" || ext == ".jpeg")
        lo = 15, hi = 23;
    else if (ext == ".pdf" || ext == ".docx" || ext == ".hwp" || ext == ".pptx" || ext == ".xlsx")
        lo = 13, hi = 24;
    else if (ext == ".mp3" || ext == ".flac" || ext == ".m4a")
        lo = 20, hi = 25;
    else if (ext == ".zip" || ext == ".tar.gz" || ext == ".mp4" || ext == ".mov")
        lo = 10, hi = rng.perMille(20) ? 32 : 28; // a few above 2 GiB, the packed-size case
    const int bits = static_cast<int>(rng.between(lo, hi - 1));
    return (1ull << bits) + (rng.next() & ((1ull << bits) - 1));
}

std::string textContent(Rng& rng) {
    static constexpr std::string_view extra[] = {
        "getattrlistbulk", "index store", "TODO", "보고서", "résumé", "swift", "hello world"};
    std::string text;
    const std::uint32_t lines = 1 + rng.below(60);
    for (std::uint32_t i = 0; i < lines; ++i) {
        for (std::uint32_t w = rng.below(12); w > 0; --w)
            text += std::string(rng.perMille(80) ? rng.pick(extra) : rng.pick(asciiWords)) + " ";
        text += "\n";
    }
    return text;
}

struct DateRange {
    static constexpr std::int64_t first = 1420070400; // 2015-01-01
    static constexpr std::int64_t last = 1748736000;  // 2025-06-01
};

void setTimes(int fd, Rng& rng, const std::string& path) {
    const std::int64_t modified = rng.between(DateRange::first, DateRange::last);
    const std::int64_t accessed =
        std::min<std::int64_t>(modified + rng.below(400 * 86400), DateRange::last);
    const timespec times[2] = {{static_cast<time_t>(accessed), 0},
                               {static_cast<time_t>(modified), 0}};
    if (::futimens(fd, times) != 0) throw GenerationError("futimens", path, errno);
}

// Folders still to fill, each already created by its parent's task. Tasks are
// independent (every folder draws from its own seeded stream), so any number of threads
// gives the same tree.
class FolderQueue {
public:
    struct Task {
        std::uint32_t id;
        std::string path;
    };

    explicit FolderQueue(std::string root) { stack_.push_back({0, std::move(root)}); }

    std::optional<Task> take() {
        std::unique_lock lock(mutex_);
        while (stack_.empty() || stopped_) {
            if (busy_ == 0 || stopped_) {
                condition_.notify_all();
                return std::nullopt;
            }
            condition_.wait(lock);
        }
        Task task = std::move(stack_.back());
        stack_.pop_back();
        ++busy_;
        return task;
    }

    void finish(std::vector<Task>& children) {
        std::lock_guard lock(mutex_);
        for (Task& child : children)
            stack_.push_back(std::move(child));
        --busy_;
        if (!children.empty() || busy_ == 0) condition_.notify_all();
        children.clear();
    }

    void stop(const std::string& error) {
        std::lock_guard lock(mutex_);
        if (!stopped_) error_ = error;
        stopped_ = true;
        --busy_;
        condition_.notify_all();
    }

    std::string error() {
        std::lock_guard lock(mutex_);
        return error_;
    }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    std::vector<Task> stack_;
    int busy_ = 0;
    bool stopped_ = false;
    std::string error_;
};

// One per thread, with its own counts.
class Writer {
public:
    Writer(const TreeShape& shape, const Plan& plan)
        : spec_(shape), plan_(plan), bogoseoNfd_(nfd("보고서")), resumeNfd_(nfd("résumé")) {}

    // Creates the folder's sub-folders and files; the sub-folders are returned as tasks.
    void fill(const FolderQueue::Task& task, std::vector<FolderQueue::Task>& children);
    const TreeStats& stats() const { return stats_; }

private:
    void count(const std::string& name, int depth);
    void createFile(int dirFd, const std::string& name, Rng& rng, const std::string& path);
    std::string uniqueName(std::unordered_set<std::string>& taken, std::string name);

    const TreeShape& spec_;
    const Plan& plan_;
    TreeStats stats_;
    const std::string bogoseoNfd_;
    const std::string resumeNfd_;
};

void Writer::count(const std::string& name, int depth) {
    ++stats_.entries;
    stats_.maxDepth = std::max(stats_.maxDepth, depth);
    if (stats_.depthCounts.size() <= static_cast<std::size_t>(depth))
        stats_.depthCounts.resize(depth + 1);
    ++stats_.depthCounts[depth];
    if (name[0] == '.') ++stats_.hidden;
    if (name.find("보고서") != std::string::npos) ++stats_.bogoseoNfc;
    if (name.find(bogoseoNfd_) != std::string::npos) ++stats_.bogoseoNfd;
    if (name.find("résumé") != std::string::npos) ++stats_.resumeNfc;
    if (name.find(resumeNfd_) != std::string::npos) ++stats_.resumeNfd;
}

std::string Writer::uniqueName(std::unordered_set<std::string>& taken, std::string name) {
    if (taken.insert(name).second) return name;
    const auto dot = name.find('.', 1);
    const std::string stem = name.substr(0, dot),
                      ext = dot == std::string::npos ? "" : name.substr(dot);
    for (int n = 2;; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
        if (taken.insert(candidate).second) return candidate;
    }
}

void Writer::createFile(int dirFd, const std::string& name, Rng& rng, const std::string& path) {
    const int fd = ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throw GenerationError("create", path + "/" + name, errno);
    Fd file(fd);
    const std::uint32_t kind = rng.below(1000);
    const auto contentLimit = static_cast<std::uint32_t>(spec_.contentShare * 1000);
    const auto emptyLimit = contentLimit + static_cast<std::uint32_t>(spec_.emptyShare * 1000);
    if (kind < contentLimit) {
        const std::string text = textContent(rng);
        if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            throw GenerationError("write", path + "/" + name, errno);
        ++stats_.filesWithContent;
        stats_.logicalBytes += static_cast<std::int64_t>(text.size());
    } else if (kind < emptyLimit || !spec_.realisticSizes) {
        ++stats_.emptyFiles;
    } else {
        const std::uint64_t length = fileLength(name, rng);
        if (::ftruncate(fd, static_cast<off_t>(length)) != 0)
            throw GenerationError("ftruncate", path + "/" + name, errno);
        stats_.logicalBytes += static_cast<std::int64_t>(length);
    }
    if (spec_.setTimes) setTimes(fd, rng, path + "/" + name);
}

void Writer::fill(const FolderQueue::Task& task, std::vector<FolderQueue::Task>& children) {
    const PlannedFolder& folder = plan_.folders[task.id];
    const Fd dir(::open(task.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() < 0) throw GenerationError("open", task.path, errno);
    Rng rng(mix(spec_.seed, task.id + 1));
    std::unordered_set<std::string> taken;
    for (std::uint32_t child : folder.children) {
        const std::string& name = plan_.folders[child].name;
        taken.insert(name);
        if (::mkdirat(dir.get(), name.c_str(), 0755) != 0)
            throw GenerationError("mkdir", task.path + "/" + name, errno);
        ++stats_.folders;
        count(name, folder.depth + 1);
        children.push_back({child, task.path + "/" + name});
    }
    for (std::uint32_t i = 0; i < folder.files; ++i) {
        const std::string name = uniqueName(taken, fileName(folder.theme, rng));
        createFile(dir.get(), name, rng, task.path);
        ++stats_.files;
        count(name, folder.depth + 1);
    }
    if (spec_.setTimes) setTimes(dir.get(), rng, task.path); // last: each new entry moves it
}

void writeAll(FolderQueue& queue, Writer& writer) {
    std::vector<FolderQueue::Task> children;
    while (std::optional<FolderQueue::Task> task = queue.take()) {
        try {
            writer.fill(*task, children);
        } catch (const std::exception& failure) {
            queue.stop(failure.what());
            return;
        }
        queue.finish(children);
    }
}

void merge(TreeStats& into, const TreeStats& from) {
    into.entries += from.entries, into.folders += from.folders, into.files += from.files;
    into.hidden += from.hidden, into.emptyFiles += from.emptyFiles;
    into.filesWithContent += from.filesWithContent, into.logicalBytes += from.logicalBytes;
    into.bogoseoNfc += from.bogoseoNfc, into.bogoseoNfd += from.bogoseoNfd;
    into.resumeNfc += from.resumeNfc, into.resumeNfd += from.resumeNfd;
    into.maxDepth = std::max(into.maxDepth, from.maxDepth);
    into.depthCounts.resize(std::max(into.depthCounts.size(), from.depthCounts.size()));
    for (std::size_t d = 0; d < from.depthCounts.size(); ++d)
        into.depthCounts[d] += from.depthCounts[d];
}

void prepareRoot(const std::string& root) {
    std::error_code error;
    std::filesystem::create_directories(root, error);
    if (error) throw std::runtime_error("cannot create " + root + ": " + error.message());
    if (!std::filesystem::is_empty(root, error) || error)
        throw std::runtime_error(root +
                                 " is not empty; the tree is generated only into an empty folder");
}

int threadCount(const TreeShape& shape) {
    if (shape.threads > 0) return shape.threads;
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

} // namespace

TreeStats generateTree(const std::string& root, const TreeShape& shape) {
    TreeStats stats;
    const auto start = std::chrono::steady_clock::now();
    try {
        prepareRoot(root);
        const Plan plan = makePlan(shape);
        FolderQueue queue(root);
        std::vector<Writer> writers(static_cast<std::size_t>(threadCount(shape)),
                                    Writer(shape, plan));
        std::vector<std::thread> threads;
        for (Writer& writer : writers)
            threads.emplace_back([&queue, &writer] { writeAll(queue, writer); });
        for (auto& thread : threads)
            thread.join();
        for (const Writer& writer : writers)
            merge(stats, writer.stats());
        stats.error = queue.error();
    } catch (const std::exception& failure) {
        stats.error = failure.what();
    }
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return stats;
}

std::string describe(const TreeStats& stats) {
    std::ostringstream out;
    out << "entries " << stats.entries << " (folders " << stats.folders << ", files " << stats.files
        << ", hidden " << stats.hidden << ")\n"
        << "files: empty " << stats.emptyFiles << ", with content " << stats.filesWithContent
        << ", logical bytes " << stats.logicalBytes << "\n"
        << "names with 보고서: NFC " << stats.bogoseoNfc << ", NFD " << stats.bogoseoNfd
        << "; with résumé: NFC " << stats.resumeNfc << ", NFD " << stats.resumeNfd << "\n"
        << "max depth " << stats.maxDepth << "; entries by depth:";
    for (std::size_t d = 1; d < stats.depthCounts.size(); ++d)
        out << " " << d << ":" << stats.depthCounts[d];
    out << "\n"
        << "seconds " << stats.seconds;
    if (!stats.error.empty()) out << "\nerror: " << stats.error;
    return out.str();
}

} // namespace vesko
