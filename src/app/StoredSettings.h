// SPDX-License-Identifier: GPL-3.0-or-later
// The few preferences the command line needs, read from the window's settings file without
// Qt: the folders to index and leave out, and the switches that change what a query finds.
// The file is the INI text QSettings writes (see store/Settings.h); this reads its
// top-level keys the way QSettings reads them, including quoted and escaped values and
// lists, and never writes.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

class StoredSettings {
public:
    // The user's file (see filePath); a missing or unreadable file reads as empty.
    StoredSettings();
    explicit StoredSettings(const std::string& path);

    // $XDG_CONFIG_HOME/vesko/vesko.conf, with ~/.config when the variable is unset or relative.
    static std::string filePath();

    // As Settings reads them: extra roots only when all are absolute, excluded folders
    // normalized, Booleans from "true"/"false" (any case) and "1"/"0".
    std::vector<std::string> extraRoots() const;
    std::vector<std::string> excludedFolders() const;
    bool boolean(const std::string& key, bool fallback) const;

    // A list value: one element for a plain text, none for "@Invalid()"; nothing when absent
    // or not a list of texts.
    std::optional<std::vector<std::string>> list(const std::string& key) const;

private:
    std::map<std::string, std::string> raw_; // top-level key -> value as written
};

} // namespace vesko
