// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StoredSettings.h"

#include "index/FileDescriptor.h"
#include "index/HomeFolder.h"
#include "scan/Roots.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace vesko {
namespace {

constexpr std::size_t none = std::string_view::npos;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// One logical line as QSettings splits the file: a line break inside quotes or after a
// backslash continues it, and a ';' outside quotes starts a comment. `equals` is the first
// '=' outside quotes, relative to the line. False at the end of the text.
bool nextLine(std::string_view data, std::size_t& pos, std::string_view& line,
              std::size_t& equals) {
    std::size_t start = pos;
    while (start < data.size() && isSpace(data[start]))
        ++start;
    std::size_t i = start;
    bool inQuotes = false;
    equals = none;
    while (i < data.size()) {
        const char c = data[i++];
        if (c == '=') {
            if (!inQuotes && equals == none) equals = i - 1 - start;
        } else if (c == '\n' || c == '\r') {
            if (!inQuotes) {
                --i;
                break;
            }
        } else if (c == '\\') {
            if (i < data.size()) ++i;
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';') {
            if (i == start + 1) {
                while (i < data.size() && data[i] != '\n' && data[i] != '\r')
                    ++i;
                while (i < data.size() && isSpace(data[i]))
                    ++i;
                start = i;
                equals = none;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line = data.substr(start, i - start);
    return !line.empty();
}

// The escape whose letter is at text[i], appended to `out`; `i` moves past it. C's letters,
// \x with hexadecimal digits (a UTF-16 unit) and octal digits; an unknown one is dropped.
void appendEscape(std::string_view text, std::size_t& i, std::string& out) {
    const char e = text[i++];
    // Pairs of an escape letter and the character it stands for.
    const std::string_view named = "a\ab\bf\fn\nr\rt\tv\v\"\"?\?''\\\\";
    for (std::size_t k = 0; k < named.size(); k += 2) {
        if (named[k] == e) {
            out += named[k + 1];
            return;
        }
    }
    if (e != 'x' && (e < '0' || e > '7')) return;
    const int base = e == 'x' ? 16 : 8;
    char32_t code = e == 'x' ? 0 : static_cast<char32_t>(e - '0');
    std::size_t digits = e == 'x' ? 0 : 1;
    for (; i < text.size(); ++i, ++digits) {
        const char d = text[i];
        const int digit = d >= '0' && d <= '9'                 ? d - '0'
                          : base == 16 && d >= 'a' && d <= 'f' ? d - 'a' + 10
                          : base == 16 && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                               : -1;
        if (digit < 0 || digit >= base) break;
        code = (code * static_cast<char32_t>(base) + static_cast<char32_t>(digit)) & 0xFFFF;
    }
    if (digits > 0) appendUtf8(out, code);
}

// A value's texts: quotes group, backslash escapes as in C (\xHH and octal included), and
// a comma outside quotes separates the elements of a list, around which spaces are dropped.
struct Value {
    std::vector<std::string> items;
    bool isList = false;
};

Value unescaped(std::string_view text) {
    Value value;
    std::string item;
    bool inQuotes = false;
    bool quoted = false;  // the item had quotes: its trailing spaces are its own
    std::size_t keep = 0; // trailing spaces before this size were escaped or quoted
    const auto chop = [&] {
        if (quoted) return;
        while (item.size() > keep && (item.back() == ' ' || item.back() == '\t'))
            item.pop_back();
    };
    const auto skipSpaces = [&](std::size_t& i) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    std::size_t i = 0;
    skipSpaces(i);
    keep = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\') {
            if (++i >= text.size()) break;
            appendEscape(text, i, item);
            keep = item.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) skipSpaces(i);
        } else if (c == ',' && !inQuotes) {
            chop();
            value.items.push_back(std::move(item));
            item.clear();
            value.isList = true;
            quoted = false;
            ++i;
            skipSpaces(i);
            keep = 0;
        } else {
            item += c;
            ++i;
        }
    }
    chop();
    value.items.push_back(std::move(item));
    return value;
}

// What QSettings makes of a text it reads: "@@" stands for a text beginning with '@',
// "@Invalid()" for no value, and "@Type(…)" for a value of another type.
enum class Kind { text, invalid, typed };
Kind kindOf(std::string& item) {
    if (item.starts_with("@@")) {
        item.erase(0, 1);
        return Kind::text;
    }
    if (item == "@Invalid()") return Kind::invalid;
    if (item.starts_with('@') && item.ends_with(')')) return Kind::typed;
    return Kind::text;
}

// The whole file, or what could be read of it. Plain reads: a stream would set up the C++
// locale, which costs a command-line search more than reading the file.
std::string contentsOf(const std::string& path) {
    std::string data;
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file) return data;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return data;
        data.append(buffer, static_cast<std::size_t>(got));
    }
}

bool allStartWith(const std::vector<std::string>& paths, std::string_view starts) {
    return std::all_of(paths.begin(), paths.end(), [&](const std::string& path) {
        return !path.empty() && starts.find(path.front()) != none;
    });
}

} // namespace

StoredSettings::StoredSettings() : StoredSettings(filePath()) {}

StoredSettings::StoredSettings(const std::string& path) {
    const std::string data = contentsOf(path);
    bool general = true;
    std::size_t pos = 0;
    std::string_view line;
    std::size_t equals = none;
    while (nextLine(data, pos, line, equals)) {
        if (line.front() == '[') {
            const auto close = line.find(']');
            std::string name(trimmed(line.substr(1, close == none ? none : close - 1)));
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            general = name == "general";
        } else if (general && equals != none) {
            raw_[std::string(trimmed(line.substr(0, equals)))] = line.substr(equals + 1);
        }
    }
}

std::string StoredSettings::filePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base =
        config && config[0] == '/' ? std::string(config) : homeFolder() + "/.config";
    return base + "/vesko/vesko.conf";
}

std::optional<std::vector<std::string>> StoredSettings::list(const std::string& key) const {
    const auto found = raw_.find(key);
    if (found == raw_.end()) return std::nullopt;
    Value value = unescaped(found->second);
    std::vector<std::string> texts;
    for (std::string& item : value.items) {
        const Kind kind = kindOf(item);
        if (kind == Kind::invalid && !value.isList) return texts;
        if (kind != Kind::text) return std::nullopt;
        texts.push_back(std::move(item));
    }
    return texts;
}

bool StoredSettings::boolean(const std::string& key, bool fallback) const {
    const auto texts = list(key);
    if (!texts || texts->size() != 1) return fallback;
    std::string word(trimmed(texts->front()));
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (word == "true" || word == "1") return true;
    if (word == "false" || word == "0") return false;
    return fallback;
}

std::vector<std::string> StoredSettings::extraRoots() const {
    auto roots = list("extraRoots").value_or(std::vector<std::string>{});
    return allStartWith(roots, "/") ? roots : std::vector<std::string>{};
}

std::vector<std::string> StoredSettings::excludedFolders() const {
    const auto folders = list("excludedFolders").value_or(std::vector<std::string>{});
    if (!allStartWith(folders, "/~")) return {};
    return Exclusions::normalize(folders, homeFolder());
}

} // namespace vesko
