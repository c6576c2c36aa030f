// SPDX-License-Identifier: MIT
#include "store/FindQuery.h"

#include "scan/DirectoryScanner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <sys/stat.h>

namespace vesko {
namespace {

constexpr std::pair<const char*, bool FindQuery::*> switches[] = {
    {"regex", &FindQuery::useRegex},    {"path", &FindQuery::matchPath},
    {"case", &FindQuery::matchCase},    {"count", &FindQuery::countOnly},
    {"existing", &FindQuery::existing}, {"diacritics", &FindQuery::matchDiacritics},
};

// QString would quietly repair invalid UTF-8 into another text.
std::optional<QString> exactText(const std::string& bytes) {
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8().toStdString() != bytes) return std::nullopt;
    return text;
}

// Counting needs neither order nor rows: every match is only counted, unless each must be
// checked on disk.
QueryDescription description(const FindQuery& find, const TopSelector::KindLookup& kindOf) {
    QueryDescription query;
    query.text = find.query;
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

} // namespace

std::optional<QByteArray> FindQuery::toJson() const {
    QJsonObject object;
    const auto text = exactText(query);
    if (!text) return std::nullopt;
    object["query"] = *text;
    QJsonArray rootList;
    for (const std::string& root : roots) {
        const auto path = exactText(root);
        if (!path) return std::nullopt;
        rootList.append(*path);
    }
    object["roots"] = rootList;
    object["limit"] = static_cast<qint64>(limit);
    object["sort"] = QString::fromStdString(sort.toJson());
    for (const auto& [key, member] : switches)
        object[key] = this->*member;
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<FindQuery> FindQuery::fromJson(const QByteArray& json) {
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    FindQuery find;
    if (!object["query"].isString() || !object["roots"].isArray() || !object["limit"].isDouble())
        return std::nullopt;
    find.query = object["query"].toString().toStdString();
    for (const QJsonValue& root : object["roots"].toArray()) {
        if (!root.isString()) return std::nullopt;
        find.roots.push_back(root.toString().toStdString());
    }
    find.limit = object["limit"].toInteger(-1);
    const auto sort = ResultSort::fromJson(object["sort"].toString().toStdString());
    if (find.limit < 0 || !sort) return std::nullopt;
    find.sort = *sort;
    for (const auto& [key, member] : switches) {
        if (!object[key].isBool()) return std::nullopt;
        find.*member = object[key].toBool();
    }
    return find;
}

// With --existing some of the best hits may be gone, so more are asked for until `limit`
// of them exist or there are no more; sorting every match up front cost eight times as
// much on a million entries.
Search::Result FindQuery::search(const FileIndex& index, const NameTable& names,
                                 const TopSelector::KindLookup& kindOf,
                                 const QueryPreferences& preferences) const {
    Search::Request request = QueryService::request(description(*this, kindOf), preferences);
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

QByteArray FindQuery::answerText(const FileIndex& index, const NameTable& names,
                                 const QueryPreferences& preferences) const {
    const Search::Result result = search(index, names, {}, preferences);
    std::string text;
    const std::int64_t found = report(result, index, names, [&](std::string_view path) {
        text += "path ";
        escapeInto(text, path);
        text += '\n';
    });
    text += "found " + std::to_string(found) + "\nok\n";
    return QByteArray::fromStdString(text);
}

std::optional<std::string> FindQuery::unescapedPath(std::string_view text) {
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

} // namespace vesko
