// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FilterSummary.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

namespace vesko::FilterSummary {
namespace {

// The summaries read as part of the sidebar, so they are translated with its texts.
QString text(const char* source) {
    return QCoreApplication::translate("vesko::SidebarView", source);
}

QString joined(const QStringList& pieces) {
    return pieces.join(QStringLiteral(" · "));
}

QString bound(const char* prefix, double size, Filters::SizeUnit unit) {
    const QString number = QLocale().toString(size, 'f', QLocale::FloatingPointShortest);
    return QLatin1String(prefix) + number + ' ' + unitText(unit);
}

} // namespace

QString rangeText(Filters::DateRange range) {
    switch (range) {
    case Filters::DateRange::any:
        return {};
    case Filters::DateRange::today:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Today"));
    case Filters::DateRange::thisWeek:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "This Week"));
    case Filters::DateRange::thisMonth:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "This Month"));
    case Filters::DateRange::thisYear:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "This Year"));
    case Filters::DateRange::lastWeek:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Last 7 Days"));
    case Filters::DateRange::lastMonth:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Last 30 Days"));
    case Filters::DateRange::lastYear:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Last Year"));
    }
    return {};
}

QString familyText(Filters::Family family) {
    switch (family) {
    case Filters::Family::any:
        return {};
    case Filters::Family::documents:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Documents"));
    case Filters::Family::images:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Images"));
    case Filters::Family::audio:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Audio"));
    case Filters::Family::video:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Video"));
    case Filters::Family::archives:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Archives"));
    case Filters::Family::code:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Code"));
    }
    return {};
}

QString unitText(Filters::SizeUnit unit) {
    switch (unit) {
    case Filters::SizeUnit::kb:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "KB"));
    case Filters::SizeUnit::mb:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "MB"));
    case Filters::SizeUnit::gb:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "GB"));
    }
    return {};
}

QString dateFieldText(Filters::DateField field) {
    switch (field) {
    case Filters::DateField::modified:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Modified"));
    case Filters::DateField::created:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Created"));
    case Filters::DateField::accessed:
        return text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Last Opened"));
    }
    return {};
}

QString kind(const Filters& filters) {
    QStringList pieces;
    if (filters.kind == Filters::Kind::filesOnly)
        pieces << text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Files"));
    if (filters.kind == Filters::Kind::foldersOnly)
        pieces << text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Folders"));
    if (filters.family != Filters::Family::any) pieces << familyText(filters.family);
    if (!filters.showInvisible)
        pieces << text(QT_TRANSLATE_NOOP("vesko::SidebarView", "No hidden"));
    if (!filters.showPackageContents)
        pieces << text(QT_TRANSLATE_NOOP("vesko::SidebarView", "No packages"));
    return joined(pieces);
}

QString name(const Filters& filters) {
    QStringList pieces;
    if (filters.matchPath) pieces << text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Path"));
    if (filters.useRegex) pieces << text(QT_TRANSLATE_NOOP("vesko::SidebarView", "Regex"));
    if (filters.matchCase) pieces << QStringLiteral("Aa");
    if (filters.matchDiacritics) pieces << QStringLiteral("é");
    for (const std::string& extension : filters.parsedExtensions())
        pieces << '.' + QString::fromStdString(extension);
    return joined(pieces);
}

QString contents(const Filters& filters) {
    if (filters.contentQuery.empty()) return {};
    return QStringLiteral("“%1”").arg(QString::fromStdString(filters.contentQuery));
}

QString sizeAndDate(const Filters& filters) {
    QStringList pieces;
    if (filters.minimumSize > 0)
        pieces << bound("> ", filters.minimumSize, filters.minimumSizeUnit);
    if (filters.maximumSize > 0)
        pieces << bound("< ", filters.maximumSize, filters.maximumSizeUnit);
    if (filters.modified != Filters::DateRange::any)
        pieces << rangeText(filters.modified);
    else if (filters.dateField != Filters::DateField::modified)
        pieces << dateFieldText(filters.dateField);
    return joined(pieces);
}

} // namespace vesko::FilterSummary
