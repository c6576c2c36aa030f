// SPDX-License-Identifier: MIT
#include "shell/HotKey.h"

#include <gtest/gtest.h>

namespace vesko {
namespace {

TEST(HotKeyTest, FailureNamesTheShortcut) {
    HotKey key(HotKeySetting{});
    if (!key.registerKey()) {
        EXPECT_TRUE(key.problem().contains("F7"));
    }
}

} // namespace
} // namespace vesko
