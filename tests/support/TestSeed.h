// SPDX-License-Identifier: GPL-3.0-or-later
// Seeds for randomised tests: VESKO_TEST_SEED replays a run (CI sets it, so its runs are
// repeatable); without it every run draws a fresh seed. The seed is printed either way, so
// a failure can always be replayed.
#pragma once

#include <cstdint>

namespace vesko::test {

// The seed for the named randomised case. Distinct names get distinct seeds from one
// VESKO_TEST_SEED, so two cases never walk the same random sequence by accident.
std::uint64_t testSeed(const char* caseName);

} // namespace vesko::test
