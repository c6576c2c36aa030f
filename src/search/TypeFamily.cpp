// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/TypeFamily.h"

#include <algorithm>
#include <array>

namespace vesko::TypeFamily {
namespace {

// hwp/hwpx are Hangul word processor documents, common in Korean homes; "ts" is TypeScript
// far more often than an MPEG transport stream in a home folder.
constexpr std::array documents = std::to_array<std::string_view>(
    {"csv", "djvu", "doc",   "docm", "docx", "dot",     "dotx", "epub", "fodt",
     "hwp", "hwpx", "key",   "md",   "mobi", "numbers", "odg",  "odp",  "ods",
     "odt", "org",  "pages", "pdf",  "pps",  "ppsx",    "ppt",  "pptx", "ps",
     "rst", "rtf",  "tex",   "txt",  "xls",  "xlsb",    "xlsm", "xlsx", "xps"});
constexpr std::array images = std::to_array<std::string_view>(
    {"arw",  "avif", "bmp", "cr2",  "cr3", "dng", "gif",  "heic", "heif", "ico",
     "jfif", "jpeg", "jpg", "jxl",  "kra", "nef", "orf",  "png",  "psd",  "raf",
     "raw",  "rw2",  "svg", "svgz", "tga", "tif", "tiff", "webp", "xcf"});
constexpr std::array audio = std::to_array<std::string_view>(
    {"aac",  "aif", "aiff", "alac", "amr", "ape", "au",   "flac", "m4a", "m4b", "mid",
     "midi", "mka", "mp2",  "mp3",  "oga", "ogg", "opus", "ra",   "wav", "wma", "wv"});
constexpr std::array video = std::to_array<std::string_view>(
    {"3g2", "3gp", "asf", "avi", "flv", "m2ts", "m4v", "mkv", "mov", "mp4", "mpeg", "mpg", "mts",
     "ogv", "rm", "rmvb", "vob", "webm", "wmv"});
constexpr std::array archives = std::to_array<std::string_view>(
    {"7z",  "apk",  "ar",  "arj", "bz2", "cab", "cpio", "deb", "dmg", "gz", "iso", "jar", "lz",
     "lz4", "lzma", "rar", "rpm", "tar", "tbz", "tbz2", "tgz", "txz", "xz", "z",   "zip", "zst"});
constexpr std::array code = std::to_array<std::string_view>(
    {"bash", "c",   "cc",   "cjs",   "clj",   "cmake", "cpp", "cs",     "css",   "cxx",  "dart",
     "el",   "erl", "ex",   "exs",   "fish",  "fs",    "go",  "gradle", "h",     "hh",   "hpp",
     "hs",   "htm", "html", "hxx",   "ipynb", "java",  "js",  "json",   "jsx",   "kt",   "kts",
     "lua",  "m",   "mjs",  "mk",    "ml",    "mm",    "nim", "php",    "pl",    "pm",   "py",
     "r",    "rb",  "rs",   "scala", "scss",  "sh",    "sql", "svelte", "swift", "toml", "ts",
     "tsx",  "vue", "xml",  "yaml",  "yml",   "zig",   "zsh"});

constexpr bool sortedAndDistinct(std::span<const std::string_view> list) {
    return std::adjacent_find(list.begin(), list.end(), std::greater_equal<>()) == list.end();
}
static_assert(sortedAndDistinct(documents) && sortedAndDistinct(images) &&
              sortedAndDistinct(audio) && sortedAndDistinct(video) && sortedAndDistinct(archives) &&
              sortedAndDistinct(code));

} // namespace

std::span<const std::string_view> extensions(Filters::Family family) {
    switch (family) {
    case Filters::Family::any:
        return {};
    case Filters::Family::documents:
        return documents;
    case Filters::Family::images:
        return images;
    case Filters::Family::audio:
        return audio;
    case Filters::Family::video:
        return video;
    case Filters::Family::archives:
        return archives;
    case Filters::Family::code:
        return code;
    }
    return {};
}

bool holds(Filters::Family family, std::string_view extension) {
    if (family == Filters::Family::any) return true;
    const auto list = extensions(family);
    return std::binary_search(list.begin(), list.end(), extension);
}

} // namespace vesko::TypeFamily
