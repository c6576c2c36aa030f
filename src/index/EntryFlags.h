// SPDX-License-Identifier: GPL-3.0-or-later
// The per-entry flag byte, the 32-bit packed size and the 32-bit date encoding.
#pragma once

#include <algorithm>
#include <cstdint>

namespace vesko {

struct EntryFlags {
    std::uint8_t rawValue = 0;

    static constexpr std::uint8_t directoryBit = 1;
    static constexpr std::uint8_t symlinkBit = 2;
    static constexpr std::uint8_t deletedBit = 4;

    static constexpr EntryFlags none() { return {}; }
    static constexpr EntryFlags directory() { return {directoryBit}; }
    static constexpr EntryFlags symlink() { return {symlinkBit}; }
    static constexpr EntryFlags deleted() { return {deletedBit}; }

    constexpr bool contains(EntryFlags other) const {
        return (rawValue & other.rawValue) == other.rawValue;
    }
    constexpr bool intersects(EntryFlags other) const { return (rawValue & other.rawValue) != 0; }
    constexpr bool isSubset(EntryFlags of) const { return (rawValue & ~of.rawValue) == 0; }
    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr EntryFlags operator|(EntryFlags o) const {
        return {static_cast<std::uint8_t>(rawValue | o.rawValue)};
    }
    constexpr EntryFlags operator&(EntryFlags o) const {
        return {static_cast<std::uint8_t>(rawValue & o.rawValue)};
    }
    constexpr void insert(EntryFlags o) {
        rawValue = static_cast<std::uint8_t>(rawValue | o.rawValue);
    }
    constexpr void remove(EntryFlags o) {
        rawValue = static_cast<std::uint8_t>(rawValue & ~o.rawValue);
    }
    constexpr bool operator==(const EntryFlags&) const = default;
};

// Sizes below 2 GiB exactly; above, whole KiB with the top bit set, saturating at 2 TiB.
namespace PackedSize {
constexpr std::uint32_t pack(std::uint64_t bytes) {
    if (bytes < 0x80000000ull) return static_cast<std::uint32_t>(bytes);
    return 0x80000000u |
           static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes >> 10, 0x7FFFFFFFull));
}
constexpr std::uint64_t unpack(std::uint32_t value) {
    return (value & 0x80000000u) ? static_cast<std::uint64_t>(value & 0x7FFFFFFFu) << 10 : value;
}
} // namespace PackedSize

// Whole seconds since 1970 as stored in the date columns; 0 means no known date.
constexpr std::uint32_t clampSeconds(std::int64_t seconds) {
    if (seconds < 0) return 0;
    if (seconds > 0xFFFFFFFFll) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(seconds);
}

} // namespace vesko
