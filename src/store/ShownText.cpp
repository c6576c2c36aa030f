// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ShownText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace vesko {
namespace {

void appendEscape(QString& out, char32_t code, bool isByte) {
    switch (code) {
    case U'\n':
        out += QLatin1String("\\n");
        return;
    case U'\r':
        out += QLatin1String("\\r");
        return;
    case U'\t':
        out += QLatin1String("\\t");
        return;
    case U'\033':
        out += QLatin1String("\\e");
        return;
    default:
        break;
    }
    char text[12];
    if (isByte || code < 0x80)
        std::snprintf(text, sizeof text, "\\x%02X", static_cast<unsigned>(code));
    else
        std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(code));
    out += QLatin1String(text);
}

} // namespace

QString shownText(std::string_view stored, EscapeSpans* escapes) {
    QString out;
    // Plain runs are decoded whole; only what needs an escape is taken one by one.
    std::size_t run = 0;
    std::size_t at = 0;
    const auto flush = [&] {
        out += QString::fromUtf8(stored.data() + run, static_cast<qsizetype>(at - run));
    };
    while (at < stored.size()) {
        const Utf8Step step = utf8Step(stored.substr(at));
        if (step.length != 0 && !isDisguising(step.code)) {
            at += step.length;
            continue;
        }
        flush();
        const auto start = static_cast<int>(out.size());
        if (step.length == 0)
            appendEscape(out, static_cast<std::uint8_t>(stored[at]), true);
        else
            appendEscape(out, step.code, false);
        if (escapes) escapes->emplace_back(start, static_cast<int>(out.size()) - start);
        at += std::max<std::size_t>(step.length, 1);
        run = at;
    }
    flush();
    return out;
}

} // namespace vesko
