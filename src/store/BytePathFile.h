// SPDX-License-Identifier: GPL-3.0-or-later
// A file opened by the stored bytes of its path (a QString would repair a name that is not
// UTF-8 into another one) and read through QFile, for the MIME lookup and the preview.
#pragma once

#include "index/FileDescriptor.h"

#include <QFile>

#include <fcntl.h>
#include <string>

namespace vesko {

class BytePathFile {
public:
    // `flags` are added to O_RDONLY | O_NONBLOCK | O_CLOEXEC; a FIFO never blocks the read.
    explicit BytePathFile(const std::string& path, int flags = 0)
        : descriptor_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags)) {
        // The descriptor stays ours to close: a close made inside Qt is invisible to the
        // thread checker, which then takes the number's next owner for a race.
        if (descriptor_)
            opened_ =
                file_.open(descriptor_.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
    }
    BytePathFile(const BytePathFile&) = delete;
    BytePathFile& operator=(const BytePathFile&) = delete;

    explicit operator bool() const { return opened_; }
    QFile& file() { return file_; }

private:
    FileDescriptor descriptor_; // declared first, so closed after QFile lets go of it
    QFile file_;
    bool opened_ = false;
};

} // namespace vesko
