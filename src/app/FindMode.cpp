// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FindMode.h"

#include "app/EntryPoint.h"
#include "app/IndexSource.h"
#include "app/SearchIn.h"
#include "app/StoredSettings.h"
#include "index/ArchiveFaultGuard.h"
#include "scan/IndexBuilder.h"
#include "search/NameRules.h"
#include "search/QueryExpression.h"
#include "search/Search.h"
#include "store/FindQuery.h"
#include "store/InstanceSocket.h"
#include "store/TerminalText.h"

#include <algorithm>
#include <charconv>
#include <chrono>
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
    {"--help", &Options::help},      {"--match-diacritics", &Options::matchDiacritics},
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
        } else if (arg == "--in") {
            if (auto value = next(arg, "a folder")) options_.in = *value;
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

constexpr char changedWhileRead[] =
    "vesko: the saved index changed while it was read; run the search again\n";

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
        // The window keeps only its own roots current; another folder's index is read again
        // once a day, as the window rescans its own.
        if (IndexBuilder::normalize(request.roots) !=
            IndexBuilder::normalize(IndexSource::usualRoots(StoredSettings().extraRoots())))
            request.maxAge = 86400;
    } else {
        request.roots = IndexSource::usualRoots(StoredSettings().extraRoots());
    }
    request.excludedFolders = [] { return StoredSettings().excludedFolders(); };
    request.usualRoots = [] { return IndexSource::usualRoots(StoredSettings().extraRoots()); };
    request.use = IndexArchive::Use::searchOnly;
    request.checkInBackground = true;
    return request;
}

FindQuery findQuery(const Options& options, const std::vector<std::string>& roots) {
    FindQuery find;
    find.query = options.query;
    find.roots = IndexBuilder::normalize(roots);
    find.limit = options.limit;
    find.sort = options.sort;
    find.useRegex = options.useRegex;
    find.matchPath = options.matchPath;
    find.matchCase = options.matchCase;
    find.matchDiacritics = options.matchDiacritics;
    find.countOnly = options.countOnly;
    find.existing = options.existing;
    return find;
}

// Standard output, in large writes. On a terminal, paths holding control characters or
// invalid UTF-8 are quoted.
class PathWriter {
public:
    explicit PathWriter(const Options& options)
        : print0_(options.print0), quote_(!options.print0 && ::isatty(STDOUT_FILENO) == 1) {}
    ~PathWriter() { std::fwrite(out_.data(), 1, out_.size(), stdout); }
    PathWriter(const PathWriter&) = delete;
    PathWriter& operator=(const PathWriter&) = delete;

    void add(std::string_view path) {
        out_ += quote_ ? TerminalText::quoted(std::string(path)) : std::string(path);
        out_ += print0_ ? '\0' : '\n';
        if (out_.size() < 1 << 16) return;
        std::fwrite(out_.data(), 1, out_.size(), stdout);
        out_.clear();
    }

private:
    bool print0_;
    bool quote_;
    std::string out_;
};

void printCount(const Options& options, std::int64_t found) {
    if (options.countOnly) std::printf("%lld\n", static_cast<long long>(found));
}

// The number of hits the run reports: printed, or counted with --count.
std::int64_t answer(const FindQuery& find, const Search::Result& result,
                    const IndexSource::Source& source, const Options& options) {
    std::int64_t found = 0;
    {
        PathWriter writer(options);
        found = find.report(result, source.index, *source.names,
                            [&](std::string_view path) { writer.add(path); });
    }
    printCount(options, found);
    return found;
}

// The running window's live index, when a Vesko of this user runs, indexes the same
// folders and answers in time.
std::optional<std::int64_t> answerFromInstance(const FindQuery& find, const Options& options) {
    const auto socket = InstanceSocket::path(InstanceSocket::Folder::existing);
    if (!socket) return std::nullopt;
    const auto answered = find.ask(*socket, std::chrono::milliseconds(500));
    if (!answered) return std::nullopt;
    {
        PathWriter writer(options);
        for (const std::string& path : answered->paths)
            writer.add(path);
    }
    printCount(options, answered->found);
    return answered->found;
}

int finish(std::int64_t found) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return trouble(std::string("cannot write the results: ") + std::strerror(errno));
    return found > 0 ? statusHits : statusNoHits;
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

bool needsKinds(const Arguments& args) {
    const Parsed parsed = parse(args);
    return parsed.options && !parsed.options->help && !parsed.options->countOnly &&
           parsed.options->sort.field == ResultSort::Field::kind;
}

int run(const Arguments& args, const TopSelector::KindLookup& kindOf) {
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
    const auto rule = Search::chooseRule(options.query, options.matchPath, options.useRegex,
                                         options.matchCase, true, options.matchDiacritics);
    if (rule.regexProblem) return trouble("invalid regular expression: " + *rule.regexProblem);
    if (rule.queryProblem == QueryProblem::tooLong) return trouble(describe(rule.queryProblem));
    warnIfLiteral(options, rule.queryProblem);
    std::string problem;
    const auto request = indexRequest(options, problem);
    if (!request) return trouble(problem);
    // The archive is read through its mapping: another program truncating or rewriting the
    // file meanwhile ends the run with a message instead of a signal.
    ArchiveFaultGuard::install(changedWhileRead, statusTrouble);
    FindQuery find = findQuery(options, request->roots);
    if (options.in) {
        const SearchIn::Folder folder = SearchIn::resolve(*options.in);
        if (!folder.problem.empty())
            return trouble("cannot search in " + *options.in + ": " + folder.problem);
        find.within = folder.path;
    }
    if (const auto found = answerFromInstance(find, options)) return finish(*found);
    auto outcome = IndexSource::open(*request);
    if (!outcome.source) return trouble(outcome.problem);
    // The window's preference and use counts, read from its files as the window reads them.
    const QueryPreferences preferences = QueryPreferences::beside(
        StoredSettings::filePath(), StoredSettings().boolean("initialConsonants", true));
    auto result = find.search(outcome.source->index, *outcome.source->names, kindOf, preferences);
    // Nothing found in an archive is shown before its checksum has passed.
    if (!IndexSource::confirm(*outcome.source)) {
        outcome = IndexSource::rescan(*request);
        if (!outcome.source) return trouble(outcome.problem);
        result = find.search(outcome.source->index, *outcome.source->names, kindOf, preferences);
    }
    const std::int64_t found = answer(find, result, *outcome.source, options);
    // The paths were read after the search was confirmed: a write since may have changed them.
    if (!IndexSource::unchanged(*outcome.source)) {
        std::fflush(stdout);
        std::fputs(changedWhileRead, stderr);
        return statusTrouble;
    }
    return finish(found);
}

} // namespace vesko::FindMode
