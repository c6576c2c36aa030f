// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/LoginItem.h"

#include "index/FileDescriptor.h"
#include "index/PrivateFolders.h"
#include "scan/Roots.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesko::LoginItem {
namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Whether the entry's main group turns it off; nothing when the file cannot be read.
std::optional<bool> isDisabled(const std::string& path) {
    std::ifstream file(path);
    if (!file) return std::nullopt;
    bool inMainGroup = false;
    bool disabled = false;
    for (std::string raw; std::getline(file, raw);) {
        const std::string_view line = trimmed(raw);
        if (line.starts_with('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inMainGroup || equals == std::string_view::npos) continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (key == "Hidden") disabled = disabled || value == "true";
        if (key == "X-GNOME-Autostart-enabled") disabled = disabled || value == "false";
    }
    return disabled;
}

// Whether a file could be created at `folder`: the folder, or the nearest ancestor that
// exists when it does not, is a directory this user may write into.
bool canCreateIn(std::string folder) {
    while (!folder.empty()) {
        struct stat status {};
        if (::stat(folder.c_str(), &status) == 0)
            return S_ISDIR(status.st_mode) && ::access(folder.c_str(), W_OK | X_OK) == 0;
        const std::size_t slash = folder.find_last_of('/');
        if (slash == std::string::npos || slash == 0) return false;
        folder.resize(slash);
    }
    return false;
}

// Written whole to a temporary name and renamed over the entry, so the session never reads
// half a file, and a disabled entry the desktop left behind is replaced, not edited.
int writeEntry(const std::string& folder, const std::string& path) {
    static constexpr std::string_view entry =
        "[Desktop Entry]\nType=Application\nName=Vesko\nComment=Find files by name as you type\n"
        "Exec=vesko --hidden\nIcon=app.vesko.Vesko\nTerminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    std::string temporary = folder + "/." + fileName + ".XXXXXX";
    FileDescriptor file(::mkstemp(temporary.data()));
    if (!file) return errno;
    int error = ::fchmod(file.get(), 0644) != 0 ? errno : 0;
    if (!error) error = writeAll(file.get(), entry.data(), entry.size());
    if (!error && ::fsync(file.get()) != 0) error = errno;
    if (file.close() != 0 && !error) error = errno;
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error) ::unlink(temporary.c_str());
    return error;
}

} // namespace

std::string autostartFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return std::string(config) + "/autostart";
    return homeFolder() + "/.config/autostart";
}

State state() {
    return state(autostartFolder());
}

State state(const std::string& folder) {
    const std::string path = folder + "/" + fileName;
    if (::access(path.c_str(), F_OK) == 0) {
        const auto disabled = isDisabled(path);
        if (!disabled) return State::unavailable;
        return *disabled ? State::off : State::on;
    }
    return canCreateIn(folder) ? State::off : State::unavailable;
}

std::optional<std::string> set(bool on) {
    return set(autostartFolder(), on);
}

std::optional<std::string> set(const std::string& folder, bool on) {
    const std::string path = folder + "/" + fileName;
    if (!on) {
        if (::unlink(path.c_str()) == 0 || errno == ENOENT) return std::nullopt;
        return std::string(std::strerror(errno));
    }
    if (const int error = makePrivateFolders(folder)) return std::string(std::strerror(error));
    if (const int error = writeEntry(folder, path)) return std::string(std::strerror(error));
    return std::nullopt;
}

std::string_view rawText(State state) {
    switch (state) {
    case State::off:
        return "off";
    case State::on:
        return "on";
    case State::needsApproval:
        return "needsApproval";
    case State::unavailable:
        break;
    }
    return "unavailable";
}

} // namespace vesko::LoginItem
