// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/TerminalText.h"

#include "store/Utf8Step.h"

#include <cstdint>
#include <cstdio>

namespace vesko::TerminalText {
namespace {

void appendByte(std::string& out, char c) {
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

// Controls are written byte by byte (a C1 control as its two bytes, which every shell
// reads alike); the formatting characters above them as \u, which bash reads since 4.2.
void appendEscaped(std::string& out, std::string_view sequence, char32_t code) {
    if (code < 0xA0) {
        for (const char c : sequence)
            appendByte(out, c);
        return;
    }
    char text[12];
    std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(code));
    out += text;
}

} // namespace

bool needsQuoting(std::string_view path) {
    while (!path.empty()) {
        const Utf8Step step = utf8Step(path);
        if (step.length == 0 || isDisguising(step.code)) return true;
        path.remove_prefix(step.length);
    }
    return false;
}

std::string quoted(std::string_view path) {
    if (!needsQuoting(path)) return std::string(path);
    std::string out = "$'";
    while (!path.empty()) {
        const Utf8Step step = utf8Step(path);
        if (step.length == 0) {
            appendByte(out, path[0]);
            path.remove_prefix(1);
            continue;
        }
        const std::string_view sequence = path.substr(0, step.length);
        if (isDisguising(step.code))
            appendEscaped(out, sequence, step.code);
        else if (step.code == U'\\' || step.code == U'\'')
            out.append(1, '\\').append(sequence);
        else
            out.append(sequence);
        path.remove_prefix(step.length);
    }
    out += '\'';
    return out;
}

} // namespace vesko::TerminalText
