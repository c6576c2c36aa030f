// SPDX-License-Identifier: GPL-3.0-or-later
// The files the user opened, revealed or copied through Vesko: how often and when last, so
// relevance can put them first. One small private file beside the settings file, read by the
// window and by `vesko --find` alike, and written whole under a temporary name and renamed
// over the old one, so a reader never sees half of it. Keyed by each file's stored bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vesko {

class UseCounts {
public:
    struct Use {
        std::string path; // stored bytes, as the index gives them
        std::uint32_t count = 0;
        std::int64_t last = 0; // seconds since 1970
        bool operator==(const Use&) const = default;
    };

    // The most recently used files kept; an older one falls off when another is added.
    static constexpr std::size_t capacity = 500;

    // "used-files" in the folder of the settings file.
    static std::string fileBeside(std::string_view settingsFile);

    // A missing or unreadable file reads as no uses; lines that do not read are skipped.
    static UseCounts read(const std::string& file);
    // 0, or the errno of the step that failed. The file is made readable by its owner only.
    int write(const std::string& file) const;

    // One more use of `path` at `now`, making it the most recent.
    void record(std::string_view path, std::int64_t now);
    // Most recent first.
    const std::vector<Use>& uses() const { return uses_; }

    // The file's text and its reading: a header line, then count, last use and the path with
    // backslash, tab, line feed and carriage return escaped, tab-separated, one use a line.
    std::string text() const;
    static UseCounts parse(std::string_view text);

    // Reads, records and writes back; 0 or an errno.
    static int recordIn(const std::string& file, std::string_view path, std::int64_t now);
    // Removes the file; 0 also when there was none.
    static int forget(const std::string& file);

private:
    std::vector<Use> uses_;
};

} // namespace vesko
