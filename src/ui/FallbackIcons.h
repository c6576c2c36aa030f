// SPDX-License-Identifier: GPL-3.0-or-later
// Icons for file types drawn by Vesko itself, one per family of types, for desktops whose
// icon theme has neither the type's own icon nor its generic one (a bare window manager, or
// a theme with few types), so a list of documents is not a column of blank pages.
#pragma once

#include <QIcon>
#include <QString>

namespace vesko::FallbackIcons {

enum class Family {
    plain,
    document,
    spreadsheet,
    presentation,
    pdf,
    image,
    audio,
    video,
    archive,
    code,
    program
};

// The family of a MIME type, from its icon name ("image-png", "text-x-python") and its
// generic icon name ("image-x-generic", "x-office-document").
Family familyOf(const QString& iconName, const QString& genericName);
// The family's icon, drawn at the usual list sizes (callers keep the few they use).
QIcon icon(Family family);
// The theme's icon for the type, else its generic one, else the drawn one of its family.
QIcon typeIcon(const QString& iconName, const QString& genericName);

} // namespace vesko::FallbackIcons
