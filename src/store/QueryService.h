// SPDX-License-Identifier: GPL-3.0-or-later
// The one way into the index for every asker: the window's search, `vesko --find` answered
// by the running window, and the desktop's launchers. All of them describe what they want
// the same way and get their engine request from one builder, with the user's preferences
// applied alike (a launcher finds by initial consonants exactly when the window does).
//
// Background work runs on the store's task pool; what touches the store's members runs on
// its thread, so a caller on another thread (the launchers' bus thread) hands its request
// over and gets the answer back without reading the store itself.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vesko {

class IndexStore;
class Preferences;
class StoreMailbox;

// A mailbox on another thread that may go away before work meant for it ends: what is
// posted after close() is dropped.
class ReturnAddress {
public:
    explicit ReturnAddress(StoreMailbox* mailbox) : mailbox_(mailbox) {}
    // From any thread.
    void post(std::function<void()> work);
    void close();

private:
    std::mutex lock_;
    StoreMailbox* mailbox_;
};

class QueryService {
public:
    // One launcher hit: what the launchers show and act on.
    struct LauncherHit {
        std::string path; // stored bytes
        QString name;     // shown text, as is the folder
        QString folder;
        QString icon; // the theme icon of its type
        bool isDirectory = false;
    };
    static constexpr int launcherHits = 20;

    // The store is the one way in; its owner hands this out to the launchers and --find.
    QueryService(IndexStore& store) : store_(&store) {}

    // From any thread: `work` runs on the store's thread.
    void onStoreThread(std::function<void()> work) const;

    // On the store's thread. `request` is a FindQuery as its toJson writes it; `reply` gets
    // the answer of `vesko --find` in its wire form, or "error …" when the request does not
    // decode or only the archive can answer, also on the store's thread.
    void find(const QByteArray& request, std::function<void(const QByteArray&)> reply) const;

    // From any thread. The best hits for a launcher's text, handed to `back`; none while
    // the index is not ready. The store is read on its own thread, the index searched on
    // the pool.
    void launcherSearch(std::string text, std::shared_ptr<ReturnAddress> back,
                        std::function<void(std::vector<LauncherHit>)> done) const;

    // From any thread, acting on the store's thread; `done` runs there afterwards.
    void open(std::string path, std::function<void()> done) const;
    void showInFileManager(std::string path, std::function<void()> done) const;

private:
    IndexStore* store_;
};

} // namespace vesko
