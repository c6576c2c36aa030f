// SPDX-License-Identifier: MIT
#include "ui/MainView.h"
#include "store/IndexStore.h"
#include "ui/PreviewWindow.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace vesko {
namespace {

TEST(MainViewTest, TypingSetsTheQuery) {
    StoreEnvironment environment;
    environment.watchFileSystem = false;
    IndexStore store(environment);
    PreviewWindow preview(store);
    MainView view(store, preview);
    auto* field = view.findChild<QLineEdit*>("searchField");
    ASSERT_NE(field, nullptr);
    field->setText("x");
    emit field->textEdited("x");
    EXPECT_EQ(store.query(), "x");
}

} // namespace
} // namespace vesko
