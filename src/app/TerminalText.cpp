// SPDX-License-Identifier: MIT
#include "app/TerminalText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace vesko::TerminalText {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text` (no overlong forms,
// no surrogates, nothing above U+10FFFF), or 0.
std::size_t sequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

// C0, DEL and the C1 controls U+0080 to U+009F, which some terminals obey as well.
bool isControl(std::string_view sequence) {
    const auto lead = static_cast<std::uint8_t>(sequence[0]);
    if (sequence.size() == 1) return lead < 0x20 || lead == 0x7F;
    return sequence.size() == 2 && lead == 0xC2 && static_cast<std::uint8_t>(sequence[1]) < 0xA0;
}

void appendEscaped(std::string& out, char c) {
    switch (c) {
    case '\033':
        out += "\\e";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        break;
    }
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(static_cast<std::uint8_t>(c)));
    out += hex;
}

} // namespace

bool needsQuoting(std::string_view path) {
    while (!path.empty()) {
        const std::size_t length = sequenceLength(path);
        if (length == 0 || isControl(path.substr(0, length))) return true;
        path.remove_prefix(length);
    }
    return false;
}

std::string quoted(std::string_view path) {
    if (!needsQuoting(path)) return std::string(path);
    std::string out = "$'";
    while (!path.empty()) {
        const std::size_t length = sequenceLength(path);
        if (length == 0 || isControl(path.substr(0, length))) {
            for (std::size_t i = 0; i < std::max<std::size_t>(length, 1); ++i)
                appendEscaped(out, path[i]);
            path.remove_prefix(std::max<std::size_t>(length, 1));
            continue;
        }
        if (path[0] == '\\' || path[0] == '\'') out += '\\';
        out.append(path.substr(0, length));
        path.remove_prefix(length);
    }
    out += '\'';
    return out;
}

} // namespace vesko::TerminalText
