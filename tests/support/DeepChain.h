// SPDX-License-Identifier: GPL-3.0-or-later
// A chain of folders all of one name whose path passes what the kernel takes at once
// (PATH_MAX), made level by level through descriptors, and removed by rm, which walks by
// descriptors too (a path-walking removal would take seconds for thousands of levels).
#pragma once

#include "index/FileDescriptor.h"

#include <string>

namespace vesko::test {

class DeepChain {
public:
    DeepChain(std::string base, std::string name, int depth);
    ~DeepChain();
    DeepChain(const DeepChain&) = delete;
    DeepChain& operator=(const DeepChain&) = delete;

    const std::string& path() const { return path_; }
    int bottom() const { return bottom_.get(); }
    // Level 0 is the base.
    FileDescriptor open(int level) const;
    // Makes a file in the bottom folder or in a folder below it; returns its whole path.
    std::string file(const std::string& relative) const;

private:
    std::string base_, name_, path_;
    FileDescriptor bottom_;
};

} // namespace vesko::test
