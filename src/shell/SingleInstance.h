// SPDX-License-Identifier: GPL-3.0-or-later
// One running Vesko per user. The first windowed start listens on a local socket; a later
// start hands its request to it and exits, so a system shortcut that runs `vesko` brings
// the running window forward.
//
// The protocol is line-based UTF-8 over the socket, one request per connection:
//   request:  one line, "VERB" or "VERB ARGUMENT", ending in "\n", at most 64 KiB.
//   answer:   zero or more data lines, then one final line: "ok" or "error TEXT".
// Verbs:
//   show [TOKEN]   show the window and bring it to the front; TOKEN is the caller's
//                  XDG_ACTIVATION_TOKEN, which lets a Wayland compositor raise the window.
//   ping           only "ok": is a Vesko running?
//   status         one data line, the index's phase: "idle", "building" or "ready".
//   search-in FOLDER [TOKEN]
//                  show the window with the searches limited to FOLDER, an absolute path
//                  percent-encoded (InstanceSocket::searchInRequest); TOKEN as for show.
//   find JSON      a `vesko --find` search on the live index (see FindService).
// An unknown verb gets "error unknown request", so older and newer builds can talk.
//
// Which Vesko owns the socket is decided by a lock on vesko.lock beside it, held for the
// owner's whole life, not by how fast the owner answers: a busy or stopped owner still owns
// it, and a later start never removes its socket. The socket lives in $XDG_RUNTIME_DIR,
// private to the user by the folder's mode; without it, in a 0700 folder of the user's own
// cache, where no other user can have made it first.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "store/InstanceSocket.h"
#include "store/UserFolders.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace vesko {

// The lock that makes one process the owner of the socket. Held through a descriptor closed
// on exec, so the kernel lets it go however the owner ends and no program it starts keeps it.
class InstanceLock {
public:
    // Opens (making it when missing) the lock file; takes nothing yet.
    explicit InstanceLock(const std::string& path);
    // True once this process holds the lock; tries again while another one does.
    bool take();
    bool owned() const { return owned_; }
    // Why the lock file cannot be used (an errno), or 0.
    int error() const { return error_; }
    // The process id the owner wrote into the lock file, or 0.
    long ownerProcess() const;

private:
    FileDescriptor fd_;
    bool owned_ = false;
    int error_ = 0;
};

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // The client's side is InstanceSocket's, named here too for the window's own start.
    using Handover = InstanceSocket::Handover;
    using Folder = InstanceSocket::Folder;
    static std::optional<std::string> socketPath(Folder folder = Folder::make) {
        return InstanceSocket::path(folder);
    }
    static std::string lockPath(const std::string& socket) {
        return InstanceSocket::lockPath(socket);
    }
    static Handover send(const std::string& path, const std::string& request,
                         std::chrono::milliseconds patience = std::chrono::milliseconds(200),
                         std::vector<std::string>* lines = nullptr) {
        return InstanceSocket::send(path, request, patience, lines);
    }

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Starts listening at `path`, replacing a stale socket of ours; only the holder of the
    // lock calls it. False when it failed (`problem` says why); the application then runs on
    // alone.
    bool listen(const std::string& path);
    QString problem() const { return problem_; }
    // What the status request answers.
    void setStatus(std::function<QByteArray()> status) { status_ = std::move(status); }
    // A verb answered later, from the event loop: `reply` takes the whole answer, data lines
    // and final line, and may be called after the asker has gone.
    using Reply = std::function<void(const QByteArray& answer)>;
    using Handler = std::function<void(const QByteArray& argument, Reply reply)>;
    void setHandler(const QByteArray& verb, Handler handler);

signals:
    // A later start asked for the window, with its activation token (maybe empty).
    void showRequested(const QByteArray& activationToken);
    // A later start asked to search in a folder: its bytes, decoded.
    void searchInRequested(const QByteArray& folder, const QByteArray& activationToken);

private:
    void serve(QLocalSocket* socket);
    QByteArray answer(const QByteArray& request);
    bool handleLater(QLocalSocket* socket, const QByteArray& request);

    std::unique_ptr<QLocalServer> server_;
    QString problem_;
    std::function<QByteArray()> status_;
    std::map<QByteArray, Handler> handlers_;
};

} // namespace vesko
