// SPDX-License-Identifier: GPL-3.0-or-later
// The words, extensions and name shapes of the generated home folder, and the seeded
// random stream every choice draws from: what a name or a file's content looks like,
// not where it goes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vesko::treegen {

using Words = std::span<const std::string_view>;

// splitmix64: tiny, fast, and the same sequence on every platform (no std distributions,
// whose results differ between standard libraries).
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint64_t n) {
        return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32);
    }
    std::int64_t between(std::int64_t lo, std::int64_t hi) { return lo + below(hi - lo + 1); }
    // p in thousandths keeps every decision in integers.
    bool perMille(std::uint32_t p) { return below(1000) < p; }
    std::string_view pick(Words words) { return words[below(words.size())]; }

private:
    std::uint64_t state_;
};

inline std::uint64_t mix(std::uint64_t a, std::uint64_t b) {
    return Rng(a ^ (b * 0xD1B54A32D192ED03ull)).next();
}

// What a folder holds, inherited by its sub-folders unless a name says otherwise.
enum class Theme { general, documents, photos, code, git, cache, music, config };

Theme themeOf(std::string_view name, Theme parent);
std::string fileName(Theme theme, Rng& rng);
std::string folderName(Theme theme, Rng& rng);
// The decomposed (NFD) form, as names copied from other systems often arrive.
std::string nfd(std::string_view utf8);
// A plausible length for a file of that name, drawn on a log scale by its extension.
std::uint64_t fileLength(std::string_view name, Rng& rng);
// A few lines of words, with now and then a phrase content searches look for.
std::string textContent(Rng& rng);

} // namespace vesko::treegen
