// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DeepChain.h"

#include "support/ProcessRunner.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <stdexcept>

namespace vesko::test {

DeepChain::DeepChain(std::string base, std::string name, int depth)
    : base_(std::move(base)), name_(std::move(name)), path_(base_) {
    bottom_ = FileDescriptor(::open(base_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (int made = 0; made < depth; ++made) {
        if (::mkdirat(bottom_.get(), name_.c_str(), 0755) != 0)
            throw std::runtime_error("mkdirat failed at level " + std::to_string(made));
        bottom_ = FileDescriptor(
            ::openat(bottom_.get(), name_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        path_ += "/" + name_;
    }
}

DeepChain::~DeepChain() {
    run({{"rm", "-rf", "--", base_ + "/" + name_}, {}});
}

FileDescriptor DeepChain::open(int level) const {
    FileDescriptor fd(::open(base_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (; level > 0; --level)
        fd = FileDescriptor(::openat(fd.get(), name_.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW));
    return fd;
}

std::string DeepChain::file(const std::string& relative) const {
    if (!FileDescriptor(::openat(bottom(), relative.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)))
        throw std::runtime_error("cannot create " + relative);
    return path_ + "/" + relative;
}

} // namespace vesko::test
