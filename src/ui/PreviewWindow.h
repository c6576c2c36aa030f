// SPDX-License-Identifier: MIT
// A non-modal preview of the selected result: images, the start of text files, or the
// item's icon, kind and size.
#pragma once

#include <QWidget>

#include <optional>

namespace vesko {

class IndexStore;

class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    explicit PreviewWindow(IndexStore& store, QWidget* parent = nullptr);

    // Shows `path` when hidden, hides when shown; nothing without a path.
    void toggle(const std::optional<QString>& path);

private:
    IndexStore& store_;
};

} // namespace vesko
