// SPDX-License-Identifier: MIT
#include "ui/MainView.h"

#include "store/IndexStore.h"
#include "ui/PreviewWindow.h"

#include <QLineEdit>
#include <QVBoxLayout>

namespace vesko {

MainView::MainView(IndexStore& store, PreviewWindow& preview, QWidget* parent)
    : QWidget(parent), store_(store), preview_(preview) {
    auto* layout = new QVBoxLayout(this);
    auto* field = new QLineEdit(this);
    field->setObjectName("searchField");
    field->setAccessibleName(tr("Search"));
    layout->addWidget(field);
    layout->addStretch();
    connect(field, &QLineEdit::textEdited, &store_, &IndexStore::setQuery);
    connect(&store_, &IndexStore::focusRequested, field, [field] { field->setFocus(); });
}

} // namespace vesko
