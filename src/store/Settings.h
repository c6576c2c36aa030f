// SPDX-License-Identifier: GPL-3.0-or-later
// The user's preferences: one INI file at $XDG_CONFIG_HOME/vesko/vesko.conf read and written
// through typed accessors. The only place that touches QSettings; callers see standard types.
// A stored value that does not parse as the type asked for reads as the caller's default.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QSettings;

namespace vesko {

class Settings {
public:
    // The user's file (see defaultFilePath).
    Settings();
    // An explicit file, for tests and the diagnostic modes.
    explicit Settings(const std::string& filePath);
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // $XDG_CONFIG_HOME/vesko/vesko.conf, with ~/.config when the variable is unset or relative.
    static std::string defaultFilePath();
    std::string filePath() const;

    // Lists are written in QSettings' own list form ("a, b"; "@Invalid()" when empty). In the
    // file a list of one element is plain text, so a text reads back as a list of one; a
    // number, Boolean or other typed value reads as the default.
    std::vector<std::string> stringList(const std::string& key,
                                        const std::vector<std::string>& fallback = {}) const;
    // "true"/"false" (any case) and "1"/"0".
    bool boolean(const std::string& key, bool fallback) const;
    // Whole decimal numbers only: "1.5" or "12abc" under an integer key read as the default.
    std::int64_t integer(const std::string& key, std::int64_t fallback) const;
    double real(const std::string& key, double fallback) const;
    // A list with more than one element is not a text.
    std::string text(const std::string& key, const std::string& fallback = {}) const;

    void setStringList(const std::string& key, const std::vector<std::string>& value);
    void setBoolean(const std::string& key, bool value);
    void setInteger(const std::string& key, std::int64_t value);
    void setReal(const std::string& key, double value);
    void setText(const std::string& key, const std::string& value);

    bool contains(const std::string& key) const;
    void remove(const std::string& key);
    // Writes pending changes; false with `problem` set when the file could not be written.
    bool sync();
    const std::string& problem() const { return problem_; }

    // The volume paths the user chose to index, in the order chosen. Entries must be
    // absolute paths; anything else makes the whole list read as empty.
    std::vector<std::string> extraRoots() const;
    void setExtraRoots(const std::vector<std::string>& roots);

    // The user's excluded folders, stored normalized (tilde expanded, nesting folded,
    // sorted). A hand-edited list is normalized again on reading.
    std::vector<std::string> excludedFolders() const;
    void setExcludedFolders(const std::vector<std::string>& folders);

private:
    std::unique_ptr<QSettings> settings_;
    std::string problem_;
};

} // namespace vesko
