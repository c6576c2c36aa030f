// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FindQuery.h"

#include "index/Unicode.h"
#include "scan/DirectoryScanner.h"
#include "store/InstanceSocket.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace vesko {
namespace {

// A JSON string; nothing for text that is not UTF-8, which JSON cannot carry.
std::optional<std::string> jsonText(std::string_view text) {
    if (!Unicode::isValidUtf8(text)) return std::nullopt;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

// Counting needs neither order nor rows: every match is only counted, unless each must be
// checked on disk.
QueryDescription description(const FindQuery& find, const TopSelector::KindLookup& kindOf) {
    QueryDescription query;
    query.text = find.query;
    query.within = find.within;
    query.filters.useRegex = find.useRegex;
    query.filters.matchDiacritics = find.matchDiacritics;
    query.filters.matchPath = find.matchPath;
    query.filters.matchCase = find.matchCase;
    if (find.countOnly) {
        query.sort = {ResultSort::Field::none, true};
        query.limit = find.existing ? INT64_MAX : 0;
        return query;
    }
    query.sort = find.sort;
    query.limit = find.limit == 0 ? INT64_MAX : find.limit;
    if (find.sort.field == ResultSort::Field::kind) query.kindOf = kindOf;
    return query;
}

// The path with every name as the file system gave it, invalid UTF-8 included, so that
// the printed path opens the file (the display form would repair it into another name).
void appendStoredPath(std::string& out, const FileIndex& index, const NameTable& names,
                      std::int64_t entry, std::vector<std::string_view>& components) {
    components.clear();
    components.push_back(names.displayBytes(index.entryName[static_cast<std::size_t>(entry)]));
    std::uint32_t d = index.entryDir[static_cast<std::size_t>(entry)];
    for (; index.dirParent[d] != d; d = index.dirParent[d])
        components.push_back(names.displayBytes(index.dirName[d]));
    const auto root = index.rootPaths.find(d);
    if (root != index.rootPaths.end() && root->second != "/") out += root->second;
    for (auto c = components.rbegin(); c != components.rend(); ++c) {
        out += '/';
        out += *c;
    }
}

// A path past PATH_MAX is looked at relative to its parent, which the kernel refuses whole.
bool existsNow(const std::string& path) {
    struct stat status {};
    return DirectoryScanner::statNoFollow(path, status);
}

// Walks the hits' stored paths in result order until `visit` says stop.
template <typename Visit>
void eachPath(const Search::Result& result, const FileIndex& index, const NameTable& names,
              Visit&& visit) {
    std::string path;
    std::vector<std::string_view> components;
    for (const Search::Hit& hit : result.hits) {
        path.clear();
        appendStoredPath(path, index, names, hit.entry, components);
        if (!visit(path)) return;
    }
}

bool existingAmong(const Search::Result& result, const FileIndex& index, const NameTable& names,
                   std::int64_t wanted) {
    bool enough = false;
    eachPath(result, index, names, [&](const std::string& path) {
        enough = existsNow(path) && --wanted == 0;
        return !enough;
    });
    return enough;
}

void escapeInto(std::string& out, std::string_view path) {
    for (char c : path) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

std::optional<std::string> unescape(std::string_view text) {
    std::string path;
    path.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            path += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        if (text[i] == 'n')
            path += '\n';
        else if (text[i] == '\\')
            path += '\\';
        else
            return std::nullopt;
    }
    return path;
}

// Reads the answer's lines into `answer` until its final line. False on "error …", a closed
// connection, a malformed line, or `patience` without a byte.
bool readAnswer(int fd, std::chrono::milliseconds patience, FindQuery::Answer& answer) {
    std::string received;
    bool counted = false;
    for (;;) {
        std::size_t start = 0;
        for (std::size_t end; (end = received.find('\n', start)) != std::string::npos;
             start = end + 1) {
            const std::string_view line(received.data() + start, end - start);
            if (line == "ok") return counted;
            if (line.starts_with("path ")) {
                auto path = unescape(line.substr(5));
                if (!path) return false;
                answer.paths.push_back(std::move(*path));
            } else if (line.starts_with("found ")) {
                const auto number = line.substr(6);
                const auto [last, error] =
                    std::from_chars(number.data(), number.data() + number.size(), answer.found);
                counted = error == std::errc() && last == number.data() + number.size();
            } else {
                return false; // "error …" or a line this build does not know
            }
        }
        received.erase(0, start);
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(patience.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[1 << 16];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) return false;
        received.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace

std::optional<std::string> FindQuery::toJson() const {
    const auto text = jsonText(query);
    if (!text) return std::nullopt;
    std::string json = "{\"query\":" + *text + ",\"roots\":[";
    for (const std::string& root : roots) {
        const auto path = jsonText(root);
        if (!path) return std::nullopt;
        json += (json.back() == '[' ? "" : ",") + *path;
    }
    if (!within.empty()) {
        const auto folder = jsonText(within);
        if (!folder) return std::nullopt;
        json += "],\"within\":" + *folder;
    } else {
        json += "]";
    }
    json += ",\"limit\":" + std::to_string(limit) + ",\"sort\":" + *jsonText(sort.toJson());
    for (const auto& [key, member] : FindQuery::switches)
        json += ",\"" + std::string(key) + "\":" + (this->*member ? "true" : "false");
    return json + "}";
}

// With --existing some of the best hits may be gone, so more are asked for until `limit`
// of them exist or there are no more; sorting every match up front cost eight times as
// much on a million entries.
Search::Result FindQuery::search(const FileIndex& index, const NameTable& names,
                                 const TopSelector::KindLookup& kindOf,
                                 const QueryPreferences& preferences) const {
    Search::Request request = description(*this, kindOf).request(preferences);
    if (!existing || countOnly || limit == 0) return Search::run(request, index, names);
    request.limit = std::max<std::int64_t>(limit * 2, 256);
    for (;;) {
        Search::Result result = Search::run(request, index, names);
        if (std::ssize(result.hits) >= result.totalMatches ||
            existingAmong(result, index, names, limit))
            return result;
        request.limit = request.limit > INT64_MAX / 4 ? INT64_MAX : request.limit * 4;
    }
}

std::int64_t FindQuery::report(const Search::Result& result, const FileIndex& index,
                               const NameTable& names,
                               const std::function<void(std::string_view)>& path) const {
    if (countOnly && !existing) return result.totalMatches;
    const std::int64_t shown = countOnly ? 0 : limit;
    std::int64_t written = 0;
    eachPath(result, index, names, [&](const std::string& stored) {
        if (shown > 0 && written == shown) return false;
        if (existing && !existsNow(stored)) return true;
        ++written;
        if (!countOnly) path(stored);
        return true;
    });
    return existing ? written : result.totalMatches;
}

std::string FindQuery::answerText(const FileIndex& index, const NameTable& names,
                                  const QueryPreferences& preferences) const {
    const Search::Result result = search(index, names, {}, preferences);
    std::string text;
    const std::int64_t found = report(result, index, names, [&](std::string_view path) {
        text += "path ";
        escapeInto(text, path);
        text += '\n';
    });
    text += "found " + std::to_string(found) + "\nok\n";
    return text;
}

std::optional<FindQuery::Answer> FindQuery::ask(const std::string& socket,
                                                std::chrono::milliseconds patience) const {
    const auto json = toJson();
    if (!json) return std::nullopt;
    InstanceSocket::Handover failure{};
    const FileDescriptor fd = InstanceSocket::connectTo(socket, failure);
    if (!fd) return std::nullopt;
    const std::string line = "find " + *json + "\n";
    Answer answer;
    const bool answered = ::send(fd.get(), line.data(), line.size(), MSG_NOSIGNAL) ==
                              static_cast<ssize_t>(line.size()) &&
                          readAnswer(fd.get(), patience, answer);
    if (!answered) return std::nullopt;
    return answer;
}

} // namespace vesko
