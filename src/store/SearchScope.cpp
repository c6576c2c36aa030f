// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SearchScope.h"

#include "scan/IndexBuilder.h"
#include "store/IndexLifecycle.h"
#include "store/PartialBox.h"
#include "store/SearchSession.h"
#include "store/StoreEnvironment.h"
#include "store/StoreTasks.h"
#include "store/WalkedFolder.h"

#include <QString>

#include <algorithm>
#include <atomic>

namespace vesko {
namespace {

bool isAtOrBelow(const std::string& path, const std::string& folder) {
    if (folder == "/") return true;
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

} // namespace

// Shared with the walk's thread, which may outlive the scope's interest in it.
struct SearchScope::Walk {
    std::atomic<bool> cancel{false};
    std::atomic<std::int64_t> listed{0};
};

SearchScope::SearchScope(IndexLifecycle& lifecycle, SearchSession& session, StoreTasks& tasks,
                         const StoreEnvironment& env, QObject* parent)
    : QObject(parent), lifecycle_(lifecycle), session_(session), tasks_(tasks),
      workers_(env.buildWorkers > 0 ? env.buildWorkers : IndexBuilder::defaultWorkers()),
      partialInterval_(env.timing.partialInterval), partialHandedOver_(env.partialHandedOver) {
    progressTimer_.setInterval(100);
    connect(&progressTimer_, &QTimer::timeout, this, [this] {
        const qint64 listed = walk_ ? walk_->listed.load(std::memory_order_relaxed) : 0;
        if (listed == foldersRead_) return;
        foldersRead_ = listed;
        emit progressChanged();
    });
    connect(&lifecycle_, &IndexLifecycle::buildInstalled, this, &SearchScope::followRoots);
}

SearchScope::~SearchScope() {
    stopWalk();
}

bool SearchScope::isIndexed(const std::string& path) const {
    const auto roots = lifecycle_.roots();
    if (std::none_of(roots.begin(), roots.end(),
                     [&](const std::string& root) { return isAtOrBelow(path, root); }))
        return false;
    const auto excluded = lifecycle_.effectiveExclusions();
    return std::none_of(excluded.begin(), excluded.end(),
                        [&](const std::string& folder) { return isAtOrBelow(path, folder); });
}

void SearchScope::enter(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    stopWalk();
    path_ = std::move(path);
    problem_.clear();
    if (isIndexed(path_)) {
        session_.setScope(path_);
        setState(State::inside);
        return;
    }
    startWalk();
}

void SearchScope::clear() {
    stopWalk();
    path_.clear();
    problem_.clear();
    session_.setScope({});
    setState(State::none);
}

void SearchScope::startWalk() {
    walk_ = std::make_shared<Walk>();
    foldersRead_ = 0;
    // Until a part is read the scope answers nothing rather than the whole index.
    session_.setScope(path_, std::make_shared<WalkedFolder>());
    setState(State::walking);
    progressTimer_.start();
    auto partials = std::make_shared<PartialBox>();
    IndexBuilder::Publication publication;
    publication.interval = partialInterval_;
    publication.publish = [this, walk = walk_, partials,
                           handedOver = partialHandedOver_](IndexBuilder::Partial part) {
        if (partials->put(std::move(part)))
            tasks_.deliver([this, walk, partials] { showPart(walk, *partials); });
        if (handedOver) handedOver();
    };
    tasks_.run(StoreTasks::Priority::userInitiated,
               [this, walk = walk_, partials, publication = std::move(publication), path = path_,
                excluded = lifecycle_.effectiveExclusions(), workers = workers_, gate = walkGate_] {
                   if (gate) gate();
                   IndexBuilder::Limits limits;
                   limits.listedFolders = &walk->listed;
                   limits.cancel = &walk->cancel;
                   auto built = std::make_shared<IndexBuilder::Result>(
                       IndexBuilder::build({path}, workers, std::make_shared<NameTable>(), excluded,
                                           limits, &publication));
                   if (walk->cancel) return;
                   tasks_.deliver([this, walk, partials, built] {
                       partials->closed = true;
                       if (walk == walk_) finishWalk(*built);
                   });
               });
}

// What the walk has read so far answers while it reads on.
void SearchScope::showPart(const std::shared_ptr<Walk>& walk, PartialBox& partials) {
    auto part = partials.take();
    if (!part || partials.closed || walk != walk_) return;
    auto folder = std::make_shared<WalkedFolder>();
    folder->path = path_;
    folder->index = std::move(part->index);
    folder->names = std::move(part->names);
    session_.setScope(path_, std::move(folder));
}

void SearchScope::finishWalk(IndexBuilder::Result& built) {
    walk_.reset();
    progressTimer_.stop();
    foldersRead_ = built.report.directories;
    emit progressChanged();
    if (built.error || !built.report.unreadableRoots.empty()) {
        problem_ = built.error ? *built.error : "unreadable";
        session_.setScope(path_, std::make_shared<WalkedFolder>());
        setState(State::failed);
        return;
    }
    auto folder = std::make_shared<WalkedFolder>();
    folder->path = path_;
    folder->index = std::move(built.index);
    folder->names = built.names;
    session_.setScope(path_, std::move(folder));
    setState(State::outside);
}

void SearchScope::stopWalk() {
    if (walk_) walk_->cancel = true;
    walk_.reset();
    progressTimer_.stop();
}

void SearchScope::addToRoots() {
    // The preferences keep folders as text: a name that is not UTF-8 would be stored as
    // another folder's, so such a folder stays searchable here but is never added.
    const bool keptAsText = QString::fromStdString(path_).toStdString() == path_;
    if (state_ != State::outside || isIndexed(path_) || !keptAsText) return;
    auto roots = lifecycle_.extraRoots();
    roots.push_back(path_);
    lifecycle_.setExtraRoots(roots);
}

// Once a build holds the folder, the index answers for it and follows its changes; once the
// folder has left the roots (removed or excluded), it is read once as any outside folder.
void SearchScope::followRoots() {
    if (path_.empty()) return;
    const bool indexed = isIndexed(path_);
    if (state_ == State::outside && indexed) {
        session_.setScope(path_);
        setState(State::inside);
    } else if (state_ == State::inside && !indexed) {
        startWalk();
    }
}

void SearchScope::setState(State state) {
    state_ = state;
    emit changed();
}

} // namespace vesko
