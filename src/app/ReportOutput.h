// SPDX-License-Identifier: GPL-3.0-or-later
// Where a diagnostic mode's report goes: each line to standard output as it is produced, or,
// with an output path, all lines kept and written to that file in one step when the mode ends.
// Also the padded printf-style pieces the report's fixed-width columns are made of.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesko {

class ReportOutput {
public:
    explicit ReportOutput(std::optional<std::string> path = std::nullopt);
    // Writes the file when there is a path; a write failure is ignored (the report is lost).
    ~ReportOutput();
    ReportOutput(const ReportOutput&) = delete;
    ReportOutput& operator=(const ReportOutput&) = delete;

    // One line; a text with embedded newlines counts as one line of the collection.
    void line(std::string text);
    const std::vector<std::string>& lines() const { return lines_; }
    // A path as the report shows it: quoted as $'...' when it holds control characters and
    // the lines go to a terminal, byte for byte when they go to a file or a pipe.
    std::string shownPath(std::string_view path) const;

    // Writes the collected lines joined by newlines, unless there is no path or this already
    // ran. Returns whether the file now holds them.
    bool finish();

private:
    std::optional<std::string> path_;
    std::vector<std::string> lines_;
    bool finished_ = false;
    bool toTerminal_ = false;
};

// Replaces the file at `path` with `bytes` through a temporary file beside it and a rename,
// so a reader sees the old file or the complete new one. False on any failure, with the
// temporary file removed.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

namespace Report {

// printf into a std::string.
[[gnu::format(printf, 1, 2)]] std::string format(const char* pattern, ...);

// Unicode characters (code points) of a UTF-8 text, which is what the column widths count.
std::size_t characterCount(std::string_view text);
// The text padded with spaces to `width` characters: "%-N@" (left) and "%N@" (right).
// A longer text is returned whole.
std::string left(std::string_view text, std::size_t width);
std::string right(std::string_view text, std::size_t width);

// Seconds to milliseconds, the unit every timing line shows.
inline double milliseconds(double seconds) {
    return seconds * 1000.0;
}

} // namespace Report
} // namespace vesko
