// SPDX-License-Identifier: MIT
#include "app/EntryPoint.h"
#include "app/DevOptions.h"

#include <gtest/gtest.h>

namespace vesko {
namespace {

Arguments args(std::initializer_list<const char*> rest) {
    Arguments a{"/usr/bin/vesko"};
    a.insert(a.end(), rest.begin(), rest.end());
    return a;
}

TEST(EntryPoint, DispatchOrderAndWholeArgumentMatching) {
    using enum Mode;
    struct Case {
        Arguments arguments;
        Mode mode;
    };
    const Case cases[] = {
        {args({}), windowed},
        {args({"--scan", "--bench"}), scan},
        {args({"--drift", "--bench"}), bench},
        {args({"--watch", "/tmp", "--drift"}), drift},
        {args({"--watch"}), windowed}, // no probe after it
        {args({"--watch", "/tmp"}), watch},
        {args({"--scanner", "--SCAN", "-scan"}), windowed},
        {args({"--unknown", "--help"}), help},
        {args({"--find", "x", "--watch", "/p"}), watch},
        {args({"--find", "x", "--help"}), find},
        {args({"--find"}), find}, // to say that the query is missing
        {args({"--version", "--hidden"}), version},
        {args({"--help", "--version"}), help},
        {args({"--hidden", "--dev-root", "/tmp"}), windowed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EntryPoint::chooseMode(c.arguments), c.mode) << c.arguments.size();
}

TEST(DevOptions, SelectParsesSignedDecimalsOnly) {
    EXPECT_EQ(DevOptions::parseSelect("+3"), 3);
    EXPECT_EQ(DevOptions::parseSelect("-0"), 0);
    EXPECT_EQ(DevOptions::parseSelect("-42"), -42);
    EXPECT_EQ(DevOptions::parseSelect("9223372036854775807"), INT64_MAX);
    for (const char* bad : {"3x", "", "+", "-", " 3", "12345678901234567890", "0x10", "+-1"})
        EXPECT_EQ(DevOptions::parseSelect(bad), std::nullopt) << bad;
}

} // namespace
} // namespace vesko
