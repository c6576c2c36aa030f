// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSeed.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string_view>

namespace vesko::test {

namespace {

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

} // namespace

std::uint64_t testSeed(const char* caseName) {
    std::uint64_t base = 0;
    if (const char* value = std::getenv("VESKO_TEST_SEED"); value && *value)
        base = std::strtoull(value, nullptr, 10);
    else
        base = (std::uint64_t{std::random_device{}()} << 32) | std::random_device{}();
    const std::uint64_t seed = base ^ fnv1a(caseName);
    std::fprintf(stderr, "[seed] %s: VESKO_TEST_SEED=%llu\n", caseName,
                 static_cast<unsigned long long>(base));
    return seed;
}

} // namespace vesko::test
