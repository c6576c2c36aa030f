// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the desktop's session bus answers at all. Qt's first use of the bus waits for
// its handshake without a time limit, so a bus that accepts connections and then says
// nothing would freeze the window; this asks first, with a bound.
#pragma once

#include <chrono>
#include <string>

namespace vesko::SessionBus {

// True when the bus named by `address` (DBUS_SESSION_BUS_ADDRESS's syntax) answers the
// start of a handshake within `patience`, or is reached some way this cannot check (Qt
// then answers for it). False when a unix socket cannot be reached or stays silent.
bool answers(const std::string& address, std::chrono::milliseconds patience);

// The same for this process's session bus (DBUS_SESSION_BUS_ADDRESS, else the user's bus
// socket in XDG_RUNTIME_DIR), asked once and remembered. True when there is neither: Qt
// then fails at once by itself.
bool answers();

} // namespace vesko::SessionBus
