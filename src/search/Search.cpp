// SPDX-License-Identifier: MIT
#include "search/Search.h"

#include <algorithm>

namespace vesko::Search {
namespace {

constexpr std::size_t cancellationStride = 65536;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Everything the entry walk needs, prepared once so the per-entry path stays branch-light.
struct EntryWalk {
    const FileIndex& index;
    const NameTable& names;
    const Request& request;
    const std::vector<std::uint64_t>& bits;
    const PathPredicate* path;
    std::optional<Sieve> sieve;
    ContentMatcher* content;
    bool collectsInOrder;
    TopSelector& selector;
    Result& result;

    bool nameMatched(std::uint32_t id) const { return (bits[id >> 6] >> (id & 63)) & 1; }

    void visit(std::int64_t entry, std::uint32_t nameId, std::uint32_t dir) {
        const bool matched = nameMatched(nameId);
        if (!path && !matched) return;
        if (!admitsEntry(path, matched, dir, [&] { return index.foldedPath(entry, names); }))
            return;
        const EntryFlags flags = index.flags(entry);
        if (flags.contains(EntryFlags::deleted())) return;
        const bool isDirectory = flags.contains(EntryFlags::directory());
        if (sieve && !sieve->admits(entry, isDirectory)) return;
        if (content) {
            if (isDirectory || !content->matches(index.path(entry, names))) return;
        }
        ++result.totalMatches;
        const Hit hit{entry, isDirectory};
        if (!collectsInOrder) {
            selector.offer(hit);
        } else if (static_cast<std::int64_t>(result.hits.size()) < request.limit) {
            result.hits.push_back(hit);
        }
    }

    // One contiguous run of entries; false when the search was cancelled. Outside path mode
    // most entries fail the name bit, so that test stays in the loop and only the entries
    // that pass it pay for the call.
    bool walk(const std::uint32_t* nameRun, const std::uint32_t* dirRun, std::size_t start,
              std::size_t length) {
        for (std::size_t block = 0; block < length; block += cancellationStride) {
            if (request.isCancelled && request.isCancelled()) return false;
            const std::size_t end = std::min(length, block + cancellationStride);
            for (std::size_t p = block; p < end; ++p)
                if (path || nameMatched(nameRun[p]))
                    visit(static_cast<std::int64_t>(start + p), nameRun[p], dirRun[p]);
        }
        return true;
    }

    void run() {
        // entryName and entryDir share their split: both are mapped by the same load.
        const std::size_t mapped = index.entryName.mappedCount();
        const std::size_t count = index.entryName.count();
        std::vector<std::uint32_t> dirs;
        const std::uint32_t* dirBase = nullptr;
        const std::uint32_t* dirExtra = nullptr;
        if (index.entryDir.mappedCount() == mapped) {
            dirBase = index.entryDir.mappedBase();
            dirExtra = index.entryDir.extraBase();
        } else {
            dirs.resize(count);
            for (std::size_t i = 0; i < count; ++i)
                dirs[i] = index.entryDir[i];
            dirBase = dirs.data();
            dirExtra = dirs.data() + mapped;
        }
        if (mapped && !walk(index.entryName.mappedBase(), dirBase, 0, mapped)) return;
        if (count > mapped) walk(index.entryName.extraBase(), dirExtra, mapped, count - mapped);
    }
};

} // namespace

std::vector<std::uint64_t> nameBits(const std::vector<std::uint32_t>& matched,
                                    std::uint32_t idUpperBound) {
    std::vector<std::uint64_t> bits(static_cast<std::size_t>(idUpperBound) / 64 + 1, 0);
    for (const std::uint32_t id : matched)
        if (id <= idUpperBound) bits[id >> 6] |= std::uint64_t{1} << (id & 63);
    return bits;
}

Result run(const Request& request, const FileIndex& index, const NameTable& names) {
    const auto start = std::chrono::steady_clock::now();
    Result result;
    const Filters& filters = request.filters;
    RuleChoice choice =
        chooseRule(request.query, filters.matchPath, filters.useRegex, filters.matchCase);
    result.regexProblem = choice.regexProblem;
    result.queryProblem = choice.queryProblem;
    if (!choice.rule) return result;
    result.narrowable = choice.narrowable;
    result.highlightTerms = choice.highlightTerms;
    result.names = matchingNames(*choice.rule, names, request.previous);
    if (request.isCancelled && request.isCancelled()) {
        result.duration = secondsSince(start);
        return result;
    }

    const std::uint32_t idUpperBound = names.idUpperBound();
    if (choice.path) fillUnder(*choice.path, result.names, index, names);
    const PathPredicate* path = choice.path ? &*choice.path : nullptr;
    if (result.names.empty() && !path) {
        result.duration = secondsSince(start);
        return result;
    }

    const auto bits = nameBits(result.names, idUpperBound);
    std::optional<Sieve> sieve(std::in_place, filters, names, index, request.now);
    if (sieve->isPassthrough()) sieve.reset();
    ContentMatcher* content =
        request.content && !request.content->isEmpty() ? request.content : nullptr;
    const bool collectsInOrder =
        request.sort.field == ResultSort::Field::none && !request.foldersFirst;
    const std::string needle =
        choice.rule->kind() == NameRule::Kind::substring ? choice.rule->needle() : std::string();
    TopSelector selector(request.limit, request.sort, index, names, needle, request.foldersFirst,
                         request.folderKind, request.kindOf);
    // Rank and prefix bits per matched name up front, so full-heap offers mostly compare
    // integers instead of reading names.
    if (!collectsInOrder) selector.prepareNames(result.names);
    result.hits.reserve(static_cast<std::size_t>(std::clamp<std::int64_t>(request.limit, 0, 4096)));

    EntryWalk walk{index,   names,           request,  bits,  path, std::move(sieve),
                   content, collectsInOrder, selector, result};
    walk.run();
    if (!collectsInOrder) result.hits = selector.finish();
    result.duration = secondsSince(start);
    return result;
}

} // namespace vesko::Search
