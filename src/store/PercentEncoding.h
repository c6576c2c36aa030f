// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes of a path as a URL writes them: every byte but the unreserved ones and "/" as %XX,
// so a line of text carries the exact bytes of any name (line feeds, spaces, invalid UTF-8).
// Qt-free: the command line's request to the running window uses it too.
#pragma once

#include <string>
#include <string_view>

namespace vesko {

inline std::string percentEncoded(std::string_view bytes) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const bool keep = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                          (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                          c == '~' || c == '/';
        if (keep) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

} // namespace vesko
