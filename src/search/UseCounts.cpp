// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/UseCounts.h"

#include "index/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace vesko {
namespace {

constexpr std::string_view header = "vesko used files 1\n";
// 500 paths of at most 4096 bytes each, escaped, with room to spare: anything larger is not
// a file this program wrote.
constexpr std::size_t maximumBytes = 8u << 20;
constexpr std::uint32_t maximumCount = 1'000'000;

void escapeInto(std::string& out, std::string_view path) {
    for (const char c : path) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

bool unescape(std::string_view text, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

template <class T> bool number(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// One "count TAB last TAB path" line.
bool readLine(std::string_view line, UseCounts::Use& use) {
    const std::size_t first = line.find('\t');
    const std::size_t second = first == line.npos ? line.npos : line.find('\t', first + 1);
    if (second == line.npos) return false;
    return number(line.substr(0, first), use.count) && use.count > 0 &&
           number(line.substr(first + 1, second - first - 1), use.last) &&
           unescape(line.substr(second + 1), use.path) && use.path.starts_with('/');
}

} // namespace

std::string UseCounts::fileBeside(std::string_view settingsFile) {
    const std::size_t slash = settingsFile.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? "." : settingsFile.substr(0, slash);
    return std::string(folder) + "/used-files";
}

UseCounts UseCounts::parse(std::string_view text) {
    UseCounts counts;
    if (!text.starts_with(header)) return counts;
    text.remove_prefix(header.size());
    while (!text.empty() && counts.uses_.size() < capacity) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        Use use;
        if (readLine(text.substr(0, end), use) &&
            std::ranges::none_of(counts.uses_, [&](const Use& u) { return u.path == use.path; }))
            counts.uses_.push_back(std::move(use));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return counts;
}

std::string UseCounts::text() const {
    std::string text(header);
    for (const Use& use : uses_) {
        text += std::to_string(use.count) + '\t' + std::to_string(use.last) + '\t';
        escapeInto(text, use.path);
        text += '\n';
    }
    return text;
}

UseCounts UseCounts::read(const std::string& file) {
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::size_t>(status.st_size) > maximumBytes)
        return {};
    std::string text(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd.get(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return parse(text);
}

int UseCounts::write(const std::string& file) const {
    std::string temporary = file + ".XXXXXX";
    FileDescriptor fd(::mkstemp(temporary.data()));
    if (!fd && errno == ENOENT) {
        // Before the first setting is saved, the settings folder may not exist yet.
        const std::size_t slash = file.rfind('/');
        if (slash != std::string::npos && slash > 0) ::mkdir(file.substr(0, slash).c_str(), 0700);
        temporary = file + ".XXXXXX";
        fd = FileDescriptor(::mkstemp(temporary.data()));
    }
    if (!fd) return errno;
    // mkstemp already creates it 0600; said again so the promise does not hang on libc.
    int error = ::fchmod(fd.get(), 0600) != 0 ? errno : 0;
    const std::string content = text();
    if (!error) error = writeAll(fd.get(), content.data(), content.size());
    if (fd.close() != 0 && !error) error = errno;
    if (!error && ::rename(temporary.c_str(), file.c_str()) != 0) error = errno;
    if (error) ::unlink(temporary.c_str());
    return error;
}

void UseCounts::record(std::string_view path, std::int64_t now) {
    const auto known = std::ranges::find(uses_, path, &Use::path);
    Use use{std::string(path), 1, now};
    if (known != uses_.end()) {
        use.count = std::min(known->count + 1, maximumCount);
        uses_.erase(known);
    }
    uses_.insert(uses_.begin(), std::move(use));
    if (uses_.size() > capacity) uses_.resize(capacity);
}

int UseCounts::recordIn(const std::string& file, std::string_view path, std::int64_t now) {
    UseCounts counts = read(file);
    counts.record(path, now);
    return counts.write(file);
}

int UseCounts::forget(const std::string& file) {
    return ::unlink(file.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

} // namespace vesko
