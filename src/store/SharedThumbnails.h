// SPDX-License-Identifier: GPL-3.0-or-later
// The thumbnails the desktop's file managers keep for everyone in ~/.cache/thumbnails (the
// freedesktop thumbnail cache). Vesko only reads them: a thumbnail is made by whoever shows a
// folder first, and one that does not match the file as it is now is never shown.
#pragma once

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <string>

namespace vesko::SharedThumbnails {

// The file's URI as the cache names it: "file://" and the path's stored bytes, escaped as
// GLib escapes them (so a name that is not UTF-8 finds its thumbnail too).
QByteArray uriOf(const std::string& path);
// $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails when the variable is unset or relative.
std::string folder();
// A cached thumbnail of the file whose recorded URI and modification time match it, the
// sizes tried from the one that fits a preview best; a null image when there is none.
QImage find(const std::string& path, std::int64_t modifiedSeconds);

} // namespace vesko::SharedThumbnails
