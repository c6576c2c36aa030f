// SPDX-License-Identifier: GPL-3.0-or-later
// The small lists of the sidebar and the settings (saved searches, locations, excluded
// folders) are rebuilt whole when their data changes; these are the pieces they share.
#pragma once

#include <QString>

class QToolButton;
class QVBoxLayout;
class QWidget;

namespace vesko::RowList {

// Puts a fresh, empty box for the rows into `host` in place of `box`, and returns the box's
// layout. The old box is deleted later, not now: the button whose click changed the list is
// one of its rows and is still inside its signal.
QVBoxLayout* replace(QWidget*& box, QWidget* owner, QVBoxLayout* host, int spacing);

// A flat button that removes the row's item, announced to screen readers as "Remove <what>".
QToolButton* removeButton(QWidget* parent, const char* objectName, const QString& iconName,
                          const QString& what);

} // namespace vesko::RowList
