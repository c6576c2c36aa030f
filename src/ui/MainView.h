// SPDX-License-Identifier: MIT
// The search screen: query field, filters sidebar, result list, detail and status bars.
#pragma once

#include <QWidget>

namespace vesko {

class IndexStore;
class PreviewWindow;

class MainView : public QWidget {
    Q_OBJECT

public:
    MainView(IndexStore& store, PreviewWindow& preview, QWidget* parent = nullptr);

private:
    IndexStore& store_;
    PreviewWindow& preview_;
};

} // namespace vesko
