// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/IndexSource.h"

#include "app/StoredSettings.h"
#include "index/ArchiveFolder.h"
#include "index/HomeFolder.h"
#include "index/IndexArchive.h"
#include "scan/IndexBuilder.h"
#include "scan/Volumes.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstring>
#include <ctime>
#include <memory>

namespace vesko::IndexSource {
namespace {

bool isDirectory(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

__attribute__((format(printf, 2, 3))) void say(std::FILE* progress, const char* format, ...) {
    if (!progress) return;
    va_list values;
    va_start(values, format);
    std::vfprintf(progress, format, values);
    va_end(values);
    std::fflush(progress);
}

std::string describeRoots(const std::vector<std::string>& roots) {
    std::string text;
    for (const auto& root : roots)
        text += (text.empty() ? "" : ", ") + root;
    return text;
}

std::string archivePathOf(const Request& request, const std::vector<std::string>& roots) {
    return request.archivePath.empty() ? IndexArchive::urlFor(roots) : request.archivePath;
}

// Only the cache folder's own archives take turns; an archive named by the caller is theirs.
void keepRecentArchives(const Request& request, const std::string& saved) {
    if (!request.archivePath.empty()) return;
    std::vector<std::string> kept = {saved};
    if (request.usualRoots) {
        const auto usual = IndexBuilder::normalize(request.usualRoots());
        if (!usual.empty()) kept.push_back(IndexArchive::urlFor(usual));
    }
    ArchiveFolder::keepRecent(saved.substr(0, saved.rfind('/')), kept);
}

// `why` finishes "the saved index of ROOTS": why it is not used.
Outcome scan(const Request& request, const std::vector<std::string>& roots,
             const std::string& archivePath, const std::string& why) {
    say(request.progress, "vesko: %s; scanning…\n", why.c_str());
    auto excluded =
        request.excludedFolders ? request.excludedFolders() : std::vector<std::string>{};
    // As the window leaves them out: the Trash folders and Vesko's own.
    std::vector<std::string> tops = roots;
    for (const Volume& volume : Volumes::mounted())
        tops.push_back(volume.path);
    for (const std::string& folder : Exclusions::trashFolders(homeFolder(), tops))
        excluded.push_back(folder);
    excluded.push_back(archivePath.substr(0, archivePath.rfind('/')));
    const std::string settings = StoredSettings::filePath();
    excluded.push_back(settings.substr(0, settings.rfind('/')));
    auto built = IndexBuilder::build(roots, IndexBuilder::defaultWorkers(),
                                     std::make_shared<NameTable>(), excluded);
    if (built.error) return {std::nullopt, "the scan stopped: " + *built.error};
    const auto& report = built.report;
    say(request.progress,
        "vesko: %lld entries in %lld folders scanned in %.1f s (%lld unreadable)\n",
        static_cast<long long>(report.entries), static_cast<long long>(report.directories),
        report.duration, static_cast<long long>(report.deniedDirectories));
    for (const auto& root : report.unreadableRoots)
        say(request.progress, "vesko: cannot read %s: %s\n", root.path.c_str(),
            std::strerror(root.error));
    const auto builtAt = static_cast<double>(std::time(nullptr));
    if (auto problem = IndexArchive::save(built.index, *built.names, 0, builtAt, archivePath))
        say(request.progress, "vesko: the index was not saved (%s); the next run scans again\n",
            problem->c_str());
    else {
        say(request.progress, "vesko: index saved to %s\n", archivePath.c_str());
        keepRecentArchives(request, archivePath);
    }
    return {Source{std::move(built.index), std::move(built.names), roots, true, {}, {}}, {}};
}

} // namespace

std::vector<std::string> usualRoots(const std::vector<std::string>& extraRoots) {
    std::vector<std::string> roots = IndexBuilder::defaultRoots();
    for (const auto& root : extraRoots)
        if (isDirectory(root)) roots.push_back(root);
    return roots;
}

Outcome open(const Request& request) {
    const auto roots = IndexBuilder::normalize(request.roots);
    if (roots.empty()) return {std::nullopt, "no folder to index"};
    const std::string archivePath = archivePathOf(request, roots);
    const bool later = request.checkInBackground && request.use == IndexArchive::Use::searchOnly;
    auto loaded =
        IndexArchive::load(roots, archivePath, request.use,
                           later ? IndexArchive::Check::unlessMarked : IndexArchive::Check::atLoad);
    if (!loaded)
        return scan(request, roots, archivePath, "no saved index of " + describeRoots(roots));
    const double age = static_cast<double>(std::time(nullptr)) - loaded->builtAt;
    if (request.maxAge > 0 && age > request.maxAge) {
        const auto days = static_cast<long long>(age / 86400);
        return scan(request, roots, archivePath,
                    "the saved index of " + describeRoots(roots) + " is " +
                        (days == 1 ? std::string("a day") : std::to_string(days) + " days") +
                        " old");
    }
    std::shared_future<bool> check;
    if (later && !loaded->checked) {
        // The checksum reads the whole file on the second core while the search runs; once
        // it passes, the next runs find the file marked and skip it.
        IndexArchive::Loaded file;
        file.index.archive = loaded->index.archive;
        file.mark = loaded->mark;
        check = std::async(std::launch::async,
                           [file = std::move(file)] { return IndexArchive::verify(file); });
    }
    return {Source{std::move(loaded->index), std::move(loaded->names), roots, false, check,
                   loaded->mark},
            {}};
}

bool confirm(const Source& source) {
    // The check may pass before another program rewrites the file in place while the
    // search still reads it, so the file is looked at again after both.
    return (!source.check.valid() || source.check.get()) && unchanged(source);
}

bool unchanged(const Source& source) {
    return source.scanned || IndexArchive::unchangedSince(source.index.archive.get(), source.mark);
}

Outcome rescan(const Request& request) {
    const auto roots = IndexBuilder::normalize(request.roots);
    if (roots.empty()) return {std::nullopt, "no folder to index"};
    return scan(request, roots, archivePathOf(request, roots),
                "the saved index of " + describeRoots(roots) + " is damaged");
}

} // namespace vesko::IndexSource
