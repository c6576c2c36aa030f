// SPDX-License-Identifier: MIT
// One running Vesko per user. The first windowed start listens on a local socket; a later
// start hands its request to it and exits, so a system shortcut that runs `vesko` brings
// the running window forward.
//
// The protocol is line-based UTF-8 over the socket, one request per connection:
//   request:  one line, "VERB" or "VERB ARGUMENT", ending in "\n", at most 4096 bytes.
//   answer:   zero or more data lines, then one final line: "ok" or "error TEXT".
// Verbs:
//   show [TOKEN]   show the window and bring it to the front; TOKEN is the caller's
//                  XDG_ACTIVATION_TOKEN, which lets a Wayland compositor raise the window.
//   ping           only "ok": is a Vesko running?
//   status         one data line, the index's phase: "idle", "building" or "ready".
// An unknown verb gets "error unknown request", so older and newer builds can talk.
//
// The socket lives in $XDG_RUNTIME_DIR, private to the user by the folder's mode; without
// it, in a 0700 folder of our own under /tmp. A socket file owned by someone else is never
// connected to nor removed, and one nobody answers on (a crashed Vesko) is taken over.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace vesko {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // delivered: the running instance answered "ok"; rejected: it answered with an error;
    // nobodyListening: no socket, or nobody answered in time (a stale socket to take over);
    // foreign: the path is not a socket of this user's and must be left alone.
    enum class Handover { delivered, rejected, nobodyListening, foreign };

    // The socket's path for this user; nothing when no private folder could be made.
    static std::optional<std::string> socketPath();

    // Sends one request to the running instance and waits at most `patience` for its final
    // answer line; the data lines before it go to `lines`. Plain POSIX, so it works before
    // any application object exists.
    static Handover send(const std::string& path, const std::string& request,
                         std::chrono::milliseconds patience = std::chrono::milliseconds(200),
                         std::vector<std::string>* lines = nullptr);

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Starts listening at `path`, replacing a stale socket of ours. False when it failed
    // (`problem` says why); the application then runs on alone.
    bool listen(const std::string& path);
    QString problem() const { return problem_; }
    // What the status request answers.
    void setStatus(std::function<QByteArray()> status) { status_ = std::move(status); }

signals:
    // A later start asked for the window, with its activation token (maybe empty).
    void showRequested(const QByteArray& activationToken);

private:
    void serve(QLocalSocket* socket);
    QByteArray answer(const QByteArray& request);

    std::unique_ptr<QLocalServer> server_;
    QString problem_;
    std::function<QByteArray()> status_;
};

} // namespace vesko
