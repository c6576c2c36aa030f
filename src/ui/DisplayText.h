// SPDX-License-Identifier: GPL-3.0-or-later
// The words and number forms the window draws the preferences and the files with: the
// styles' names, paths, sizes, dates and a link's kind, in the language and locale shown.
// The store keeps the values.
#pragma once

#include "store/FileDetail.h"
#include "store/Preferences.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <cstdint>

namespace vesko {

class DisplayText {
    Q_DECLARE_TR_FUNCTIONS(vesko::DisplayText)

public:
    static QString label(PathBarStyle style);
    static QString label(DateStyle style);
    static QString label(Appearance appearance);

    // How a path is drawn: unchanged, its names joined by "  ›  ", or the home folder as "~".
    static QString pathText(PathBarStyle style, const QString& path, const QString& home);
    // What divides the names in `pathText`.
    static QString pathSeparator(PathBarStyle style);
    // A file size, everywhere in one style: "23 B", "20.9 kB" (powers of 1000, the desktop's).
    static QString sizeText(std::uint64_t bytes);
    // How a date (seconds since 1970, 0 for none) is drawn, in the default QLocale.
    static QString dateText(DateStyle style, std::uint32_t seconds, const QDateTime& now);
    // The preview of a style in the settings window: three days before now (five minutes
    // for the relative style).
    static QString sample(DateStyle style, const QDateTime& now);
    // The date to the second in the locale's long form, for a tooltip; empty for no date.
    static QString exactDate(std::uint32_t seconds);
    // "Link to " what the link reaches: a folder, a missing item, a file or its type.
    static QString linkKind(const LinkTarget& target);
};

} // namespace vesko
