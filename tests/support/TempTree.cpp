// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TempTree.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace vesko::test {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}
namespace {

void makeParents(const std::string& path) {
    const auto parent = fs::path(path).parent_path();
    if (!parent.empty()) fs::create_directories(parent);
}

} // namespace

TempTree::TempTree() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vesko-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
}

TempTree::~TempTree() {
    // Restore permissions so that a test which locked a folder still cleans up.
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(
             root_, fs::directory_options::skip_permission_denied, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (!it->is_symlink(ignored)) ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(root_.c_str(), 0700);
    fs::remove_all(root_, ignored);
}

std::string TempTree::path(const std::string& relative) const {
    return relative.empty() ? root_ : root_ + "/" + relative;
}

std::string TempTree::dir(const std::string& relative) {
    const std::string p = path(relative);
    fs::create_directories(p);
    return p;
}

std::string TempTree::file(const std::string& relative, const std::string& content) {
    const std::string p = path(relative);
    makeParents(p);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + p);
    return p;
}

std::string TempTree::symlink(const std::string& target, const std::string& relative) {
    const std::string p = path(relative);
    makeParents(p);
    if (::symlink(target.c_str(), p.c_str()) != 0) throw std::runtime_error("symlink failed: " + p);
    return p;
}

void TempTree::setModified(const std::string& relative, std::int64_t seconds) {
    timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    if (utimensat(AT_FDCWD, path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("utimensat failed: " + relative);
}

void TempTree::chmod(const std::string& relative, unsigned mode) {
    ::chmod(path(relative).c_str(), static_cast<mode_t>(mode));
}

void TempTree::remove(const std::string& relative) {
    fs::remove_all(path(relative));
}

namespace {
thread_local std::vector<std::string>* listing = nullptr;
thread_local std::size_t listingPrefix = 0;
} // namespace

std::vector<std::string> TempTree::listAll() const {
    std::vector<std::string> result;
    listing = &result;
    listingPrefix = root_.size() + 1;
    nftw(
        root_.c_str(),
        [](const char* p, const struct stat*, int, struct FTW* ftw) {
            if (ftw->level > 0) listing->emplace_back(p + listingPrefix);
            return 0;
        },
        64, FTW_PHYS);
    listing = nullptr;
    return result;
}

void TempTree::addTrickyTree() {
    file("plain.txt", "hello");
    file("With Space/Read Me.md", "# notes");
    file(".hidden/.config", "x=1");
    file("Case/README.txt");
    file("Case/readme.txt");
    file("cafe\xCC\x81/nfd.txt"); // "café" with a combining accent (NFD)
    file("caf\xC3\xA9/nfc.txt");  // "café" precomposed (NFC)
    file("bad\xFF\xFEname.bin", std::string("\0\1\2", 3));
    file("보고서/2023 보고서.hwp");
    std::string deep;
    for (int i = 0; i < 12; ++i)
        deep += "level" + std::to_string(i) + "/";
    file(deep + "bottom.txt");
    dir("loop");
    symlink("..", "loop/up");
    symlink("plain.txt", "link-to-plain");
}

} // namespace vesko::test
