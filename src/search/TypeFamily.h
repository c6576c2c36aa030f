// SPDX-License-Identifier: GPL-3.0-or-later
// The families of file types the quick filters offer, each a fixed set of lower-case
// extensions. An extension belongs to at most one family, so a file never shows under two.
#pragma once

#include "search/Filters.h"

#include <span>
#include <string_view>

namespace vesko::TypeFamily {

// The family's extensions, sorted; empty for `any`.
std::span<const std::string_view> extensions(Filters::Family family);
// Whether a folded extension (without its dot) belongs to the family; `any` holds all.
bool holds(Filters::Family family, std::string_view extension);

} // namespace vesko::TypeFamily
