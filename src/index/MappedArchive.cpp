// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/MappedArchive.h"

#include <sys/mman.h>

namespace vesko {

MappedArchive::~MappedArchive() {
    lease_.reset(); // before the unmapping: a break would copy the mapping
    if (base_ && size_ > 0) munmap(const_cast<void*>(base_), static_cast<std::size_t>(size_));
}

} // namespace vesko
