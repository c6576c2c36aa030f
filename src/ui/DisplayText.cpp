// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DisplayText.h"

#include <QLocale>
#include <QStringList>

namespace vesko {
namespace {

// Near dates as a person says them ("5 minutes ago", "Yesterday 14:02"), older ones as the
// date. A date ahead of the clock (a copy from another machine) is shown whole.
QString relativeText(const QDateTime& date, const QDateTime& now) {
    const QLocale locale;
    const qint64 seconds = date.secsTo(now);
    if (seconds < -60) return locale.toString(date, QLocale::ShortFormat);
    if (seconds < 60) return DisplayText::tr("Just now");
    if (seconds < 3600)
        return DisplayText::tr("%n minute(s) ago", nullptr, static_cast<int>(seconds / 60));
    const qint64 days = date.date().daysTo(now.date());
    if (days == 0)
        return DisplayText::tr("%n hour(s) ago", nullptr, static_cast<int>(seconds / 3600));
    if (days == 1)
        return DisplayText::tr("Yesterday %1")
            .arg(locale.toString(date.time(), QLocale::ShortFormat));
    return locale.toString(date.date(), QLocale::ShortFormat);
}

} // namespace

QString DisplayText::label(PathBarStyle style) {
    switch (style) {
    case PathBarStyle::plain:
        return tr("Full path");
    case PathBarStyle::breadcrumb:
        return tr("Breadcrumbs");
    case PathBarStyle::tilde:
        return tr("Shortened");
    }
    return {};
}

QString DisplayText::label(DateStyle style) {
    switch (style) {
    case DateStyle::dateOnly:
        return tr("Date only");
    case DateStyle::dateTime:
        return tr("Date and time");
    case DateStyle::longDate:
        return tr("Long date");
    case DateStyle::relative:
        return tr("Relative");
    case DateStyle::isoDate:
        return tr("ISO date");
    case DateStyle::isoDateTime:
        return tr("ISO date and time");
    }
    return {};
}

QString DisplayText::label(Appearance appearance) {
    switch (appearance) {
    case Appearance::system:
        return tr("System");
    case Appearance::light:
        return tr("Light");
    case Appearance::dark:
        return tr("Dark");
    }
    return {};
}

QString DisplayText::pathText(PathBarStyle style, const QString& path, const QString& home) {
    if (style == PathBarStyle::breadcrumb) {
        const QStringList names = path.split('/', Qt::SkipEmptyParts);
        return names.isEmpty() ? path : names.join(pathSeparator(style));
    }
    // The home folder only as whole names: /home/anna is not below /home/ann.
    if (style == PathBarStyle::tilde && !home.isEmpty() && path.startsWith(home) &&
        (path.size() == home.size() || path[home.size()] == '/' || home.endsWith('/')))
        return '~' + path.mid(home.endsWith('/') ? home.size() - 1 : home.size());
    return path;
}

QString DisplayText::pathSeparator(PathBarStyle style) {
    return style == PathBarStyle::breadcrumb ? QStringLiteral("  \u203A  ") : QStringLiteral("/");
}

QString DisplayText::sizeText(std::uint64_t bytes) {
    const QLocale locale;
    // Qt writes the smallest sizes out as words ("23 bytes", "23 바이트"), beside symbols
    // for all the others.
    if (bytes < 1000) return locale.toString(static_cast<qulonglong>(bytes)) + QStringLiteral(" B");
    return locale.formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeSIFormat);
}

QString DisplayText::dateText(DateStyle style, std::uint32_t seconds, const QDateTime& now) {
    if (seconds == 0) return QStringLiteral("-");
    const QDateTime date = QDateTime::fromSecsSinceEpoch(seconds);
    const QLocale locale;
    switch (style) {
    case DateStyle::dateOnly:
        break;
    case DateStyle::dateTime:
        return locale.toString(date, QLocale::ShortFormat);
    case DateStyle::longDate:
        return locale.toString(date.date(), QLocale::LongFormat);
    case DateStyle::relative:
        return relativeText(date, now);
    case DateStyle::isoDate:
        return QLocale::c().toString(date, QStringLiteral("yyyy-MM-dd"));
    case DateStyle::isoDateTime:
        return QLocale::c().toString(date, QStringLiteral("yyyy-MM-dd HH:mm"));
    }
    return locale.toString(date.date(), QLocale::ShortFormat);
}

QString DisplayText::sample(DateStyle style, const QDateTime& now) {
    // Five minutes shows what the relative style is for; three days the others' forms.
    const qint64 before = style == DateStyle::relative ? 300 : 259'200;
    return dateText(style, static_cast<std::uint32_t>(now.toSecsSinceEpoch() - before), now);
}

QString DisplayText::exactDate(std::uint32_t seconds) {
    if (seconds == 0) return {};
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds), QLocale::LongFormat);
}

QString DisplayText::linkKind(const LinkTarget& target) {
    switch (target.kind) {
    case LinkTarget::Kind::missing:
        return tr("Link to a missing item");
    case LinkTarget::Kind::folder:
        return tr("Link to a folder");
    case LinkTarget::Kind::file:
        return tr("Link to a file");
    case LinkTarget::Kind::typed:
        break;
    }
    return tr("Link to %1").arg(target.type);
}

} // namespace vesko
