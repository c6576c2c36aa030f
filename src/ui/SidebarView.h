// SPDX-License-Identifier: MIT
// The filter panel beside the results: saved searches, locations and the filter sections.
#pragma once

#include <QWidget>

namespace vesko {

class IndexStore;

class SidebarView : public QWidget {
    Q_OBJECT

public:
    explicit SidebarView(IndexStore& store, QWidget* parent = nullptr);

private:
    IndexStore& store_;
};

} // namespace vesko
