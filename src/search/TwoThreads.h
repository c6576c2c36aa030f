// SPDX-License-Identifier: GPL-3.0-or-later
// Two pieces of one search at once, the second on a thread of its own: how the name stage
// and the entry walk use both cores of a user's machine.
#pragma once

#include <exception>
#include <thread>

namespace vesko::Search {

// With `split`, runs `second` on another thread while `first` runs on this one, and returns
// once both are done; without it, runs `first` alone (which then covers the whole). A throw
// from either is rethrown here after both have ended, the first one's before the second's.
template <class First, class Second> void inParallel(bool split, First&& first, Second&& second) {
    if (!split) {
        first();
        return;
    }
    std::exception_ptr otherFailure;
    std::thread other([&] {
        try {
            second();
        } catch (...) {
            otherFailure = std::current_exception();
        }
    });
    try {
        first();
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
    if (otherFailure) std::rethrow_exception(otherFailure);
}

} // namespace vesko::Search
