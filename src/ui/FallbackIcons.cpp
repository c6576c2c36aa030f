// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FallbackIcons.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace vesko::FallbackIcons {
namespace {

QColor accentOf(Family family) {
    switch (family) {
    case Family::plain:
        return QColor(0x8a, 0x8f, 0x98);
    case Family::document:
        return QColor(0x35, 0x84, 0xe4);
    case Family::spreadsheet:
        return QColor(0x26, 0xa2, 0x69);
    case Family::presentation:
        return QColor(0xe6, 0x61, 0x00);
    case Family::pdf:
        return QColor(0xc0, 0x1c, 0x28);
    case Family::image:
        return QColor(0x21, 0x90, 0xa4);
    case Family::audio:
        return QColor(0x91, 0x41, 0xac);
    case Family::video:
        return QColor(0x3d, 0x3f, 0x8f);
    case Family::archive:
        return QColor(0x98, 0x6a, 0x44);
    case Family::code:
        return QColor(0x5e, 0x5c, 0x64);
    case Family::program:
        return QColor(0x46, 0x4e, 0x5a);
    }
    return QColor(Qt::gray);
}

// The family's mark inside the page, on a 16 by 16 grid (the page spans x 2.5–13.5).
void drawMark(QPainter& p, Family family, const QColor& accent) {
    p.setPen(QPen(accent, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (family) {
    case Family::plain:
        return;
    case Family::document:
        for (const double y : {7.0, 9.0, 11.0})
            p.drawLine(QPointF(5, y), QPointF(11, y));
        p.drawLine(QPointF(5, 13), QPointF(9, 13));
        return;
    case Family::spreadsheet:
        p.setPen(QPen(accent, 1.0));
        p.drawRect(QRectF(4.5, 6.5, 7, 7));
        p.drawLine(QPointF(4.5, 10), QPointF(11.5, 10));
        p.drawLine(QPointF(8, 6.5), QPointF(8, 13.5));
        return;
    case Family::presentation:
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRect(QRectF(5, 10, 1.6, 3.5));
        p.drawRect(QRectF(7.2, 7.5, 1.6, 6));
        p.drawRect(QRectF(9.4, 9, 1.6, 4.5));
        return;
    case Family::pdf:
    case Family::program:
    case Family::archive:
        break;
    case Family::image: {
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        QPainterPath hills;
        hills.moveTo(4.5, 13.5);
        hills.lineTo(7.5, 9);
        hills.lineTo(9.5, 11.5);
        hills.lineTo(10.5, 10.5);
        hills.lineTo(12, 13.5);
        hills.closeSubpath();
        p.drawPath(hills);
        p.drawEllipse(QPointF(10, 7.2), 1.1, 1.1);
        return;
    }
    case Family::audio:
        p.drawLine(QPointF(9.5, 12.5), QPointF(9.5, 6.5));
        p.drawLine(QPointF(9.5, 6.5), QPointF(11.5, 7.5));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(QPointF(8.2, 12.6), 1.5, 1.2);
        return;
    case Family::video: {
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        QPainterPath play;
        play.moveTo(6.5, 7);
        play.lineTo(11, 10);
        play.lineTo(6.5, 13);
        play.closeSubpath();
        p.drawPath(play);
        return;
    }
    case Family::code:
        p.drawPolyline(std::array{QPointF(6.5, 7.5), QPointF(4.8, 10), QPointF(6.5, 12.5)}.data(),
                       3);
        p.drawPolyline(std::array{QPointF(9.5, 7.5), QPointF(11.2, 10), QPointF(9.5, 12.5)}.data(),
                       3);
        return;
    }
    // A band across the foot of the page, and a family mark on it.
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawRect(QRectF(2.5, 9, 11, 4.5));
    p.setBrush(Qt::white);
    if (family == Family::archive) {
        for (const double y : {3.0, 5.0, 7.0})
            p.drawRect(QRectF(7.2, y, 1.6, 1.2));
        p.drawRect(QRectF(6.8, 9.8, 2.4, 2.6));
    } else if (family == Family::program) {
        p.drawEllipse(QPointF(8, 11.25), 1.6, 1.6);
    } else {
        for (const double x : {5.0, 8.0, 11.0})
            p.drawRect(QRectF(x - 0.9, 10.6, 1.8, 1.3));
    }
}

QPixmap draw(Family family, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    const QColor accent = accentOf(family);
    // A sheet with its top right corner folded, light on both light and dark lists.
    QPainterPath page;
    page.moveTo(2.5, 1.5);
    page.lineTo(10, 1.5);
    page.lineTo(13.5, 5);
    page.lineTo(13.5, 14.5);
    page.lineTo(2.5, 14.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(0x77, 0x76, 0x7b), 0.8));
    p.setBrush(QColor(0xfa, 0xfa, 0xfa));
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(10, 1.5);
    fold.lineTo(10, 5);
    fold.lineTo(13.5, 5);
    p.setBrush(QColor(0xde, 0xdd, 0xda));
    p.drawPath(fold);
    drawMark(p, family, accent);
    return pixmap;
}

} // namespace

Family familyOf(const QString& iconName, const QString& genericName) {
    if (iconName == QLatin1String("application-pdf")) return Family::pdf;
    if (genericName == QLatin1String("image-x-generic")) return Family::image;
    if (genericName == QLatin1String("audio-x-generic")) return Family::audio;
    if (genericName == QLatin1String("video-x-generic")) return Family::video;
    if (genericName == QLatin1String("package-x-generic")) return Family::archive;
    if (genericName == QLatin1String("x-office-spreadsheet")) return Family::spreadsheet;
    if (genericName == QLatin1String("x-office-presentation")) return Family::presentation;
    if (genericName == QLatin1String("x-office-document")) return Family::document;
    if (genericName == QLatin1String("application-x-executable")) return Family::program;
    // Source files have no generic icon of their own: they are text-x-generic or
    // text-x-script, told apart by the parts of their own names ("text-x-csrc",
    // "application-x-shellscript", "text-x-python3").
    static constexpr std::array<QLatin1StringView, 22> languages{
        QLatin1StringView("cmake"),      QLatin1StringView("csharp"),
        QLatin1StringView("css"),        QLatin1StringView("go"),
        QLatin1StringView("html"),       QLatin1StringView("java"),
        QLatin1StringView("javascript"), QLatin1StringView("json"),
        QLatin1StringView("kotlin"),     QLatin1StringView("lua"),
        QLatin1StringView("makefile"),   QLatin1StringView("perl"),
        QLatin1StringView("php"),        QLatin1StringView("python"),
        QLatin1StringView("python3"),    QLatin1StringView("ruby"),
        QLatin1StringView("rust"),       QLatin1StringView("shellscript"),
        QLatin1StringView("sql"),        QLatin1StringView("swift"),
        QLatin1StringView("typescript"), QLatin1StringView("yaml")};
    for (const QString& part : iconName.split(QLatin1Char('-'))) {
        if (part.endsWith(QLatin1String("src")) || part.endsWith(QLatin1String("hdr")))
            return Family::code;
        for (const QLatin1StringView language : languages)
            if (part == language) return Family::code;
    }
    if (genericName == QLatin1String("text-x-script")) return Family::code;
    if (iconName.startsWith(QLatin1String("text-"))) return Family::document;
    return Family::plain;
}

QIcon icon(Family family) {
    QIcon made;
    for (const int size : {16, 22, 24, 32, 48, 64})
        made.addPixmap(draw(family, size));
    return made;
}

QIcon typeIcon(const QString& iconName, const QString& genericName) {
    for (const QString& name : {iconName, genericName})
        if (!name.isEmpty() && QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
    return icon(familyOf(iconName, genericName));
}

} // namespace vesko::FallbackIcons
