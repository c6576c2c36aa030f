// SPDX-License-Identifier: MIT
// Records the global hot key: a click starts recording, the next key pressed with a
// modifier becomes the shortcut, Escape cancels.
#pragma once

#include <QWidget>

namespace vesko {

class IndexStore;

class HotKeyRecorder : public QWidget {
    Q_OBJECT

public:
    explicit HotKeyRecorder(IndexStore& store, QWidget* parent = nullptr);

private:
    IndexStore& store_;
};

} // namespace vesko
