// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SearchProbe.h"

#include "app/Headless.h"

namespace vesko {
namespace {

using Report::format;
using Report::left;
using Report::milliseconds;
using Report::right;

constexpr char rule[] = "  ─────────────────────────────";
// As many files as one interactive content search may open.
constexpr std::int64_t contentExamineLimit = 30000;
constexpr std::int64_t typingLimit = 256;

Search::Request request(std::string query, std::int64_t limit = 500) {
    Search::Request r;
    r.query = std::move(query);
    r.limit = limit;
    return r;
}

std::string count(std::int64_t n) {
    return std::to_string(n);
}

// The last path component of a folder, which a path-mode query without a slash matches.
std::string lastComponent(const std::string& folder) {
    const std::size_t slash = folder.find_last_of('/');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

} // namespace

Search::Result SearchProbe::plain(const std::string& query, const FileIndex& index,
                                  const NameTable& names, std::int64_t limit) {
    return Search::run(request(query, limit), index, names);
}

Search::Result SearchProbe::run(const Search::Request& request) const {
    return Search::run(request, index_, names_);
}

void SearchProbe::showPaths(const Search::Result& result, std::size_t count,
                            const std::string& indent) {
    for (std::size_t i = 0; i < result.hits.size() && i < count; ++i)
        out_.line(indent + out_.shownPath(index_.path(result.hits[i].entry, names_)));
}

void SearchProbe::sortSection() {
    out_.line("\n  정렬 (전체에서 상위 3개를 골라내는가)\n  ─────────────────────────────");
    const std::pair<const char*, ResultSort> sorts[] = {
        {"최근 수정 순", {ResultSort::Field::modified, false}},
        {"이름 오름차순", {ResultSort::Field::name, true}},
    };
    for (const auto& [label, sort] : sorts) {
        Search::Request r = request("swift", 3);
        r.sort = sort;
        const Search::Result result = run(r);
        out_.line("  " + left(label, 14) + format(" %6.1fms", milliseconds(result.duration)));
        showPaths(result, 3, "      ");
    }
    Search::Request r = request("swift", 5);
    r.sort = {ResultSort::Field::path, true};
    const Search::Result result = run(r);
    out_.line(format("\n  경로 오름차순 %s개 중 상위 5  %6.1fms",
                     count(result.totalMatches).c_str(), milliseconds(result.duration)));
    showPaths(result, 5, "      ");
}

void SearchProbe::booleanSection() {
    out_.line("\n  불리언 · 정규식\n  ─────────────────────────────");
    struct Case {
        const char* label;
        const char* query;
        bool regex;
    };
    const Case cases[] = {
        {"swift", "swift", false},
        {"swift core (AND)", "swift core", false},
        {"swift|kotlin (OR)", "swift|kotlin", false},
        {"swift !test (NOT)", "swift !test", false},
        {"<swift|kotlin> !test", "<swift|kotlin> !test", false},
        {"\"index store\" (따옴표)", "\"index store\"", false},
        {"^index.*\\.swift$", "^index.*\\.swift$", true},
        {"[[:digit:]]{4}- (정규식)", "[[:digit:]]{4}-", true},
    };
    for (const Case& c : cases) {
        Search::Request r = request(c.query);
        r.filters.useRegex = c.regex;
        const Search::Result result = run(r);
        std::string line = "  " + left(c.label, 26) + " " + right(count(result.totalMatches), 10) +
                           format("개  %6.1fms  좁히기가능 ", milliseconds(result.duration)) +
                           (result.narrowable ? "예" : "아니오");
        if (result.regexProblem) line += "  ❌ " + *result.regexProblem;
        out_.line(line);
    }
}

void SearchProbe::contentSection() {
    out_.line("\n  내용 검색\n  ─────────────────────────────");
    struct Case {
        const char* label;
        const char* extension; // the name query is "." + extension, the filter the extension
        const char* needle;
    };
    const Case cases[] = {
        {"cpp 파일 안의 getdents64", "cpp", "getdents64"},
        {"md 파일 안의 license", "md", "license"},
        {"h 파일 안의 inotify_add_watch", "h", "inotify_add_watch"},
        {"md 파일 안의 없는 말", "md", "아무 데도 없을 말"},
    };
    for (const Case& c : cases) {
        ContentMatcher matcher(c.needle, contentExamineLimit);
        Search::Request r = request(std::string(".") + c.extension);
        r.filters.extensions = c.extension;
        r.content = &matcher;
        const Search::Result result = run(r);
        out_.line("  " + left(c.label, 26) + " " + right(count(result.totalMatches), 10) +
                  format("개  %6.1fms  (파일 %lld개 읽음)", milliseconds(result.duration),
                         static_cast<long long>(matcher.examined())));
    }
}

void SearchProbe::pathSection(const std::string& folder) {
    out_.line("\n  검색\n  ─────────────────────────────");
    out_.line("  폴더 " + folder);
    std::vector<std::string> queries{lastComponent(folder)};
    // The folder's first sub-folder in the index, addressed by its full path.
    for (std::uint32_t d = 1; d < index_.directoryCount(); ++d) {
        if (index_.dirParent[d] != index_.rootOf(d) || index_.rootOf(d) == d) continue;
        const std::string child = index_.pathOfDirectory(d, names_);
        queries.push_back(child);
        queries.push_back(lastComponent(child));
        break;
    }
    for (const std::string& query : queries) {
        if (query.empty()) continue;
        const Search::Result off = run(request(query));
        Search::Request r = request(query);
        r.filters.matchPath = true;
        const Search::Result on = run(r);
        out_.line("  " + left(query, 26) + " Match Path 끔 " + count(off.totalMatches) +
                  "개 → 켬 " + count(on.totalMatches) +
                  format("개  %6.1fms", milliseconds(on.duration)));
    }
}

void SearchProbe::typingSection(const std::vector<std::string>& queries) {
    out_.line(format("\n  타이핑 (목표 %.0fms)\n  ─────────────────────────────",
                     Headless::targetMilliseconds));
    std::optional<Search::Narrowing> previous;
    for (const std::string& query : queries) {
        Search::Request r = request(query, typingLimit);
        r.previous = previous ? &*previous : nullptr;
        Search::Result result = run(r);
        const double ms = milliseconds(result.duration);
        out_.line("  " + left(query, 14) + " 이름 " + right(count(std::ssize(result.names)), 8) +
                  " → 파일 " + right(count(result.totalMatches), 10) + format("  %6.1fms  ", ms) +
                  (ms <= Headless::targetMilliseconds ? "✅" : "❌"));
        showPaths(result, 2, std::string(19, ' '));
        previous.reset();
        if (result.narrowable)
            previous = Search::Narrowing{Search::normalize(query), std::move(result.names)};
    }
}

} // namespace vesko
