// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowExecutable.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace vesko::WindowExecutable {
namespace {

constexpr char name[] = "vesko-window";

std::string ownFolder() {
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) == buffer.size()) return ".";
    buffer.resize(static_cast<std::size_t>(length));
    return buffer.substr(0, buffer.rfind('/'));
}

} // namespace

std::string path() {
    const std::string folder = ownFolder();
    const std::string beside = folder + "/" + name;
    if (::access(beside.c_str(), X_OK) == 0) return beside;
    return folder + "/../lib/vesko/" + name;
}

int run(const Arguments& args) {
    const std::string executable = path();
    std::vector<char*> argv;
    for (const std::string& argument : args)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(executable.c_str(), argv.data());
    std::fprintf(stderr, "vesko: cannot start %s: %s\n", executable.c_str(), std::strerror(errno));
    return 1;
}

} // namespace vesko::WindowExecutable
