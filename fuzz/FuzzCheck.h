// SPDX-License-Identifier: GPL-3.0-or-later
// The property checks of the fuzz targets: a broken property prints what broke and aborts,
// so libFuzzer keeps the input as a crash just as it does for a sanitizer report.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace vesko::fuzz {

inline void require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}

// For checks that describe what they found: `problem` must be empty.
inline void requireNone(const std::string& problem, const char* property) {
    if (problem.empty()) return;
    std::fprintf(stderr, "fuzz property broken: %s: %s\n", property, problem.c_str());
    std::abort();
}

// The input cut at every zero byte; a trailing zero gives a last, empty piece.
inline std::vector<std::string_view> splitAtZero(std::string_view input) {
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t zero = input.find('\0', start);
        if (zero == std::string_view::npos) {
            pieces.push_back(input.substr(start));
            return pieces;
        }
        pieces.push_back(input.substr(start, zero - start));
        start = zero + 1;
    }
}

} // namespace vesko::fuzz
