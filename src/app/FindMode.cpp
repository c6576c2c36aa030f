// SPDX-License-Identifier: MIT
#include "app/FindMode.h"

#include "app/EntryPoint.h"
#include "app/IndexSource.h"
#include "app/MimeKinds.h"
#include "app/TerminalText.h"
#include "index/ArchiveFaultGuard.h"
#include "search/NameRules.h"
#include "search/QueryExpression.h"
#include "search/Search.h"
#include "store/Settings.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vesko::FindMode {
namespace {

constexpr std::pair<std::string_view, bool Options::*> switches[] = {
    {"--regex", &Options::useRegex}, {"--path", &Options::matchPath},
    {"--case", &Options::matchCase}, {"--count", &Options::countOnly},
    {"--print0", &Options::print0},  {"--existing", &Options::existing},
    {"--help", &Options::help},
};

std::optional<std::int64_t> parseLimit(std::string_view text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.front() == '-' || error != std::errc() || last != end)
        return std::nullopt;
    return value;
}

std::string fieldList() {
    std::string list;
    for (const auto& [field, raw] : ResultSort::fieldTexts)
        list += (list.empty() ? "" : ", ") + std::string(raw);
    return list;
}

// Reads the argument list once, left to right; the first problem ends the reading.
class Parser {
public:
    explicit Parser(const Arguments& args) : args_(args) {}

    Parsed parse() {
        bool optionsEnded = false;
        for (i_ = 1; i_ < args_.size() && problem_.empty(); ++i_) {
            const std::string& arg = args_[i_];
            if (optionsEnded || !arg.starts_with("--")) {
                takeQuery(arg);
            } else if (arg == "--") {
                optionsEnded = true;
            } else if (arg != "--find") {
                takeOption(arg);
            }
        }
        if (problem_.empty() && !options_.help && !hasQuery_) problem_ = "no query given";
        if (!problem_.empty()) return {std::nullopt, problem_};
        options_.sort.ascending =
            ascending_.value_or(ResultSort::defaultAscending(options_.sort.field));
        return {options_, {}};
    }

private:
    void takeQuery(const std::string& arg) {
        if (hasQuery_) {
            problem_ = "more than one query (\"" + options_.query + "\", \"" + arg +
                       "\"); put a query with spaces in quotes";
            return;
        }
        options_.query = arg;
        hasQuery_ = true;
    }

    void takeOption(const std::string& arg) {
        for (const auto& [flag, member] : switches) {
            if (arg == flag) {
                options_.*member = true;
                return;
            }
        }
        if (arg == "--ascending" || arg == "--descending") {
            ascending_ = arg == "--ascending";
        } else if (arg == "--root") {
            if (auto value = next(arg, "a folder")) options_.root = *value;
        } else if (arg == "--limit") {
            takeLimit();
        } else if (arg == "--sort") {
            takeSort();
        } else {
            problem_ = "unknown option " + arg;
        }
    }

    void takeLimit() {
        const auto value = next("--limit", "a number");
        if (!value) return;
        if (auto limit = parseLimit(*value))
            options_.limit = *limit;
        else
            problem_ =
                "--limit takes a whole number, 0 or more (0 for all), not \"" + *value + "\"";
    }

    void takeSort() {
        const auto value = next("--sort", "a field");
        if (!value) return;
        if (auto field = ResultSort::fieldNamed(*value))
            options_.sort.field = *field;
        else
            problem_ = "unknown sort field \"" + *value + "\"; use one of " + fieldList();
    }

    std::optional<std::string> next(std::string_view flag, std::string_view what) {
        if (i_ + 1 < args_.size()) return args_[++i_];
        problem_ = std::string(flag) + " needs " + std::string(what) + " after it";
        return std::nullopt;
    }

    const Arguments& args_;
    std::size_t i_ = 1;
    Options options_;
    bool hasQuery_ = false;
    std::optional<bool> ascending_;
    std::string problem_;
};

int trouble(const std::string& problem) {
    std::fprintf(stderr, "vesko: %s\n", problem.c_str());
    return statusTrouble;
}

// The folder as an absolute path without links, so the archive's roots compare equal
// however the folder was named, and the scanner (which never follows a link) can list it.
std::optional<std::string> resolveRoot(const std::string& root, std::string& problem) {
    std::error_code error;
    const auto path = std::filesystem::canonical(root, error);
    if (error) {
        problem = "cannot use the folder " + root + ": " + error.message();
        return std::nullopt;
    }
    if (!std::filesystem::is_directory(path, error)) {
        problem = root + " is not a folder";
        return std::nullopt;
    }
    return path.string();
}

std::optional<IndexSource::Request> indexRequest(const Options& options, std::string& problem) {
    IndexSource::Request request;
    if (options.root) {
        const auto root = resolveRoot(*options.root, problem);
        if (!root) return std::nullopt;
        request.roots = {*root};
    } else {
        request.roots = IndexSource::usualRoots(Settings());
    }
    request.excludedFolders = [] { return Settings().excludedFolders(); };
    request.usualRoots = [] { return IndexSource::usualRoots(Settings()); };
    request.use = IndexArchive::Use::searchOnly;
    request.checkInBackground = true;
    return request;
}

// Counting needs neither order nor rows: every match is only counted, unless each must be
// checked on disk.
Search::Request searchRequest(const Options& options) {
    Search::Request request;
    request.query = options.query;
    request.filters.useRegex = options.useRegex;
    request.filters.matchPath = options.matchPath;
    request.filters.matchCase = options.matchCase;
    if (options.countOnly) {
        request.sort = {ResultSort::Field::none, true};
        request.limit = options.existing ? INT64_MAX : 0;
        return request;
    }
    request.sort = options.sort;
    request.limit = options.limit == 0 ? INT64_MAX : options.limit;
    if (options.sort.field == ResultSort::Field::kind) request.kindOf = MimeKinds::lookup();
    return request;
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

bool existsNow(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

// Whether at least `wanted` of the hits exist on disk.
bool existingAmong(const Search::Result& result, const IndexSource::Source& source,
                   std::int64_t wanted) {
    std::string path;
    std::vector<std::string_view> components;
    for (const Search::Hit& hit : result.hits) {
        path.clear();
        appendStoredPath(path, source.index, *source.names, hit.entry, components);
        if (existsNow(path) && --wanted == 0) return true;
    }
    return false;
}

// Writes the hits' paths in result order, at most `limit` of them (0: all), leaving out with
// --existing those gone from the disk; returns how many there were. Nothing is written
// when only counting.
std::int64_t writeHits(const Search::Result& result, const IndexSource::Source& source,
                       const Options& options, std::int64_t limit) {
    const bool quote = !options.print0 && ::isatty(STDOUT_FILENO) == 1;
    std::string out;
    std::string path;
    std::vector<std::string_view> components;
    std::int64_t written = 0;
    for (const Search::Hit& hit : result.hits) {
        if (limit > 0 && written == limit) break;
        path.clear();
        appendStoredPath(path, source.index, *source.names, hit.entry, components);
        if (options.existing && !existsNow(path)) continue;
        ++written;
        if (options.countOnly) continue;
        out += quote ? TerminalText::quoted(path) : path;
        out += options.print0 ? '\0' : '\n';
        if (out.size() >= 1 << 16) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return written;
}

// With --existing some of the best hits may be gone, so more are asked for until `limit`
// of them exist or there are no more; sorting every match up front cost eight times as
// much on a million entries.
Search::Result searchEnough(const Options& options, const IndexSource::Source& source) {
    Search::Request request = searchRequest(options);
    if (!options.existing || options.countOnly || options.limit == 0)
        return Search::run(request, source.index, *source.names);
    request.limit = std::max<std::int64_t>(options.limit * 2, 256);
    for (;;) {
        Search::Result result = Search::run(request, source.index, *source.names);
        if (std::ssize(result.hits) >= result.totalMatches ||
            existingAmong(result, source, options.limit))
            return result;
        request.limit = request.limit > INT64_MAX / 4 ? INT64_MAX : request.limit * 4;
    }
}

// The number of hits the run reports: printed, or counted with --count.
std::int64_t answer(const Search::Result& result, const IndexSource::Source& source,
                    const Options& options) {
    if (options.countOnly && !options.existing) {
        std::printf("%lld\n", static_cast<long long>(result.totalMatches));
        return result.totalMatches;
    }
    const std::int64_t found =
        writeHits(result, source, options, options.countOnly ? 0 : options.limit);
    if (options.countOnly) std::printf("%lld\n", static_cast<long long>(found));
    return options.existing ? found : result.totalMatches;
}

void warnIfLiteral(const Options& options, QueryProblem problem) {
    if (problem != QueryProblem::notAnExpression) return;
    std::string shown = options.query.size() <= 80 ? " " + TerminalText::quoted(options.query) : "";
    std::fprintf(stderr,
                 "vesko: the query%s is not a valid expression (check its |, !, < > and "
                 "quotes); it is searched as literal text\n",
                 shown.c_str());
}

} // namespace

Parsed parse(const Arguments& args) {
    return Parser(args).parse();
}

int run(const Arguments& args) {
    const Parsed parsed = parse(args);
    if (!parsed.options) {
        trouble(parsed.problem);
        std::fputs("Try 'vesko --help'.\n", stderr);
        return statusTrouble;
    }
    const Options& options = *parsed.options;
    if (options.help) {
        std::fputs(EntryPoint::usageText().c_str(), stdout);
        return statusHits;
    }
    // A bad pattern is reported before any scan, which can take minutes.
    const auto rule =
        Search::chooseRule(options.query, options.matchPath, options.useRegex, options.matchCase);
    if (rule.regexProblem) return trouble("invalid regular expression: " + *rule.regexProblem);
    if (rule.queryProblem == QueryProblem::tooLong) return trouble(describe(rule.queryProblem));
    warnIfLiteral(options, rule.queryProblem);
    std::string problem;
    const auto request = indexRequest(options, problem);
    if (!request) return trouble(problem);
    // The archive is read through its mapping: another program truncating or rewriting the
    // file meanwhile ends the run with a message instead of a signal.
    ArchiveFaultGuard::install("vesko: the saved index changed while it was read; run the "
                               "search again\n",
                               statusTrouble);
    auto outcome = IndexSource::open(*request);
    if (!outcome.source) return trouble(outcome.problem);
    auto result = searchEnough(options, *outcome.source);
    // Nothing found in an archive is shown before its checksum has passed.
    if (!IndexSource::confirm(*outcome.source)) {
        std::fputs("vesko: the saved index is damaged\n", stderr);
        outcome = IndexSource::rescan(*request);
        if (!outcome.source) return trouble(outcome.problem);
        result = searchEnough(options, *outcome.source);
    }
    const std::int64_t found = answer(result, *outcome.source, options);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return trouble(std::string("cannot write the results: ") + std::strerror(errno));
    return found > 0 ? statusHits : statusNoHits;
}

} // namespace vesko::FindMode
