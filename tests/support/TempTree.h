// SPDX-License-Identifier: GPL-3.0-or-later
// A temporary folder tree for tests, removed (permissions restored first) when it goes.
// `addTrickyTree` lays out the names that break scanners: spaces, hidden names, case
// variants, NFD and invalid UTF-8, deep nesting and a symbolic-link loop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vesko::test {

// The whole file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const;

    // Each creates missing parent folders and returns the absolute path.
    std::string dir(const std::string& relative);
    std::string file(const std::string& relative, const std::string& content = {});
    std::string symlink(const std::string& target, const std::string& relative);
    void setModified(const std::string& relative, std::int64_t seconds);
    void chmod(const std::string& relative, unsigned mode);
    void remove(const std::string& relative);

    // Relative paths of every file, folder and link below the root, found with nftw (the
    // reference for scanner tests).
    std::vector<std::string> listAll() const;

    void addTrickyTree();

private:
    std::string root_;
};

} // namespace vesko::test
