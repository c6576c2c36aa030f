// SPDX-License-Identifier: GPL-3.0-or-later
// Starting Vesko when the user logs in, through the desktop's XDG autostart folder: the item
// is the file app.vesko.Vesko.desktop there, and a desktop entry can be present yet disabled.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vesko::LoginItem {

// `needsApproval` exists for the shared vocabulary; no Linux desktop asks for approval.
enum class State { off, on, needsApproval, unavailable };

inline constexpr char fileName[] = "app.vesko.Vesko.desktop";

// $XDG_CONFIG_HOME/autostart (~/.config/autostart when the variable is unset or relative).
std::string autostartFolder();

// `on` when the file exists and is not disabled (Hidden=true or
// X-GNOME-Autostart-enabled=false in its [Desktop Entry] group), `off` when it is absent or
// disabled, `unavailable` when it is absent and the folder could not be created or written.
State state();
State state(const std::string& folder);

std::string_view rawText(State state);

// Writes (on) or removes (off) the autostart entry; the system's error text on failure.
// The entry starts Vesko with its window hidden.
std::optional<std::string> set(bool on);
std::optional<std::string> set(const std::string& folder, bool on);

} // namespace vesko::LoginItem
