// SPDX-License-Identifier: GPL-3.0-or-later
// Text cut to a width so that what tells it apart stays in sight: a path keeps the folders
// nearest its end, a name keeps its first match. Qt's own eliding keeps a fixed end instead,
// which for paths is the prefix every row shares.
#pragma once

#include <QString>

class QFontMetrics;

namespace vesko::ElidedText {

// `path` in at most `width` pixels: as many whole trailing components as fit behind "…",
// with the first component ("~", or "" for "/") kept in front when there is room for it too.
// A last component too long on its own is cut in its middle. `separator` divides components.
QString path(const QString& path, const QFontMetrics& metrics, int width,
             const QString& separator = QStringLiteral("/"));

// The part of a name that is shown: `text` holds name[from, from + length), preceded by "…"
// when `cutBefore` and followed by it when the name goes on.
struct Window {
    QString text;
    int from = 0;
    int length = 0;
    bool cutBefore = false;

    // Where name position `position` is in `text`, or -1 when it is cut off.
    int shownAt(int position) const;
};

// `name` in at most `width` pixels with [matchStart, matchEnd) in sight: cut at the end when
// the match survives that, else at the start, else at both ends around the match.
Window around(const QString& name, int matchStart, int matchEnd, const QFontMetrics& metrics,
              int width);

} // namespace vesko::ElidedText
