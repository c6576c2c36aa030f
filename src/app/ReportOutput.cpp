// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReportOutput.h"

#include "index/FileDescriptor.h"
#include "store/TerminalText.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace vesko {

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = writeAll(fd, bytes.data(), bytes.size()) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

ReportOutput::ReportOutput(std::optional<std::string> path)
    : path_(std::move(path)), toTerminal_(!path_ && ::isatty(STDOUT_FILENO) == 1) {}

ReportOutput::~ReportOutput() {
    finish();
}

void ReportOutput::line(std::string text) {
    if (!path_) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    lines_.push_back(std::move(text));
}

std::string ReportOutput::shownPath(std::string_view path) const {
    return toTerminal_ ? TerminalText::quoted(path) : std::string(path);
}

bool ReportOutput::finish() {
    if (!path_ || finished_) return false;
    finished_ = true;
    std::string joined;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i) joined += '\n';
        joined += lines_[i];
    }
    return writeFileAtomically(*path_, joined);
}

namespace Report {

std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    va_end(again);
    return text;
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

std::string left(std::string_view text, std::size_t width) {
    const std::size_t n = characterCount(text);
    std::string padded(text);
    if (n < width) padded.append(width - n, ' ');
    return padded;
}

std::string right(std::string_view text, std::size_t width) {
    const std::size_t n = characterCount(text);
    std::string padded = n < width ? std::string(width - n, ' ') : std::string();
    padded += text;
    return padded;
}

} // namespace Report
} // namespace vesko
