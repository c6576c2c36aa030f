// SPDX-License-Identifier: GPL-3.0-or-later
// The running Vesko's socket as a client sees it: where it is and how one request is sent.
// Plain POSIX, so `vesko --find` reaches the window without loading Qt, and a start of the
// window can hand over before any application object exists. The protocol and the server
// are SingleInstance's.
#pragma once

#include "index/FileDescriptor.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace vesko::InstanceSocket {

// delivered: the running instance answered "ok"; rejected: it answered with an error;
// unanswered: it took the request but gave no answer in time (busy or stopped);
// nobodyListening: no socket, or none that takes connections (a stale one to take over);
// foreign: the path is not a socket of this user's and must be left alone.
enum class Handover { delivered, rejected, unanswered, nobodyListening, foreign };

// The windowed start makes the private folder; `vesko --find` only looks for a socket
// that is already there and makes nothing.
enum class Folder { make, existing };

// The socket's path for this user; nothing when there is no private folder for it. A
// folder that would have been used but belongs to someone else is named once on stderr.
std::optional<std::string> path(Folder folder = Folder::make);
// The lock file beside the socket.
std::string lockPath(const std::string& socket);

// The request that asks the running Vesko to search in `folder`: "search-in FOLDER [TOKEN]",
// the folder's bytes percent-encoded (a folder name may hold spaces, line feeds or bytes
// that are not UTF-8, and the protocol is one line of UTF-8), then the caller's activation
// token when there is one.
std::string searchInRequest(const std::string& folder, const char* activationToken);

// A connected socket, or none with the reason in `failure`.
FileDescriptor connectTo(const std::string& path, Handover& failure);
// Sends one request and waits at most `patience` for its final answer line; the data lines
// before it go to `lines`.
Handover send(const std::string& path, const std::string& request,
              std::chrono::milliseconds patience = std::chrono::milliseconds(200),
              std::vector<std::string>* lines = nullptr);

} // namespace vesko::InstanceSocket
