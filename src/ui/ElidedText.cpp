// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ElidedText.h"

#include <QFontMetrics>
#include <QStringList>

#include <algorithm>

namespace vesko::ElidedText {
namespace {

const QString ellipsis(QChar(0x2026));

// A few characters before the match say what it is part of.
constexpr int contextBefore = 4;

bool fits(const QString& text, const QFontMetrics& metrics, int width) {
    return metrics.horizontalAdvance(text) <= width;
}

// Never between the two halves of a surrogate pair.
int characterStart(const QString& text, int position) {
    return position > 0 && position < text.size() && text[position].isLowSurrogate() ? position - 1
                                                                                     : position;
}

} // namespace

QString path(const QString& path, const QFontMetrics& metrics, int width,
             const QString& separator) {
    if (fits(path, metrics, width)) return path;
    const QStringList parts = path.split(separator);
    const qsizetype count = parts.size();
    for (qsizetype kept = count - 1; kept >= 1; --kept) {
        const QString tail = parts.mid(count - kept).join(separator);
        if (kept < count - 1) {
            const QString withHead = parts.front() + separator + ellipsis + separator + tail;
            if (fits(withHead, metrics, width)) return withHead;
        }
        const QString alone = ellipsis + separator + tail;
        if (fits(alone, metrics, width)) return alone;
    }
    return metrics.elidedText(parts.back(), Qt::ElideMiddle, width);
}

int Window::shownAt(int position) const {
    if (position < from || position > from + length) return -1;
    return position - from + (cutBefore ? 1 : 0);
}

Window around(const QString& name, int matchStart, int matchEnd, const QFontMetrics& metrics,
              int width) {
    const int size = static_cast<int>(name.size());
    if (fits(name, metrics, width)) return {name, 0, size, false};
    const QString right = metrics.elidedText(name, Qt::ElideRight, width);
    const int rightKept = std::max(0, static_cast<int>(right.size()) - 1);
    if (matchEnd <= rightKept) return {right, 0, rightKept, false};
    const QString left = metrics.elidedText(name, Qt::ElideLeft, width);
    const int leftKept = std::max(0, static_cast<int>(left.size()) - 1);
    if (size - leftKept <= matchStart) return {left, size - leftKept, leftKept, true};
    // Cut at both ends; the words before the match go first when room is short.
    Window window;
    for (const int before : {contextBefore, 0}) {
        const int from = characterStart(name, std::max(0, matchStart - before));
        const QString rest = name.mid(from);
        const QString cut =
            metrics.elidedText(rest, Qt::ElideRight, width - metrics.horizontalAdvance(ellipsis));
        const int kept = cut == rest ? static_cast<int>(rest.size())
                                     : std::max(0, static_cast<int>(cut.size()) - 1);
        window = {ellipsis + cut, from, kept, true};
        if (from + kept >= matchEnd) break;
    }
    return window;
}

} // namespace vesko::ElidedText
