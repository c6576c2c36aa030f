// SPDX-License-Identifier: GPL-3.0-or-later
#include "TreeVocabulary.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <utility>

namespace vesko::treegen {
namespace {

// to += separator + text, without the temporary: GCC 12 at -O3 reports a false
// -Wrestrict for a literal added to a temporary string.
void joinTo(std::string& to, std::string_view separator, std::string_view text) {
    to += separator;
    to += text;
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

std::string year(Rng& rng) {
    return std::to_string(rng.between(2015, 2025));
}

std::string koreanStem(Rng& rng) {
    std::string stem(rng.pick(koreanWords));
    if (rng.perMille(500)) joinTo(stem, "_", year(rng));
    if (rng.perMille(300)) joinTo(stem, "_", rng.pick(koreanSuffixes));
    if (rng.perMille(150)) joinTo(stem, " ", rng.pick(koreanWords));
    // Names copied from another system's file systems often arrive decomposed.
    return rng.perMille(250) ? nfd(stem) : stem;
}

std::string accentedStem(Rng& rng) {
    std::string stem(rng.pick(accentedWords));
    if (rng.perMille(400)) joinTo(stem, " ", year(rng));
    return rng.perMille(500) ? nfd(stem) : stem;
}

// Each random draw is its own statement: the operands of + are unsequenced, and the tree
// must not depend on the compiler's evaluation order.
std::string screenshotStem(Rng& rng) {
    std::string stem = "Screenshot " + year(rng);
    joinTo(stem, "-", padded(rng.between(1, 12), 2));
    joinTo(stem, "-", padded(rng.between(1, 28), 2));
    joinTo(stem, " at ", std::to_string(rng.between(1, 12)));
    joinTo(stem, ".", padded(rng.below(60), 2));
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
    joinTo(word, "-", rng.pick(asciiWords));
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

} // namespace

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
            joinTo(name, "-", padded(rng.between(1, 12), 2));
            name += ' ';
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

} // namespace vesko::treegen
