// SPDX-License-Identifier: GPL-3.0-or-later
// Values that follow a flag on the command line, read once per process. Flags match only
// as whole, case-sensitive arguments; there are no short or joined forms.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesko {

using Arguments = std::vector<std::string>;

namespace DevOptions {

// Must be called once from main before any other member is used.
void setArguments(int argc, char** argv);
const Arguments& arguments();

// The argument after the first occurrence of flag; nothing when the flag is absent or last.
std::optional<std::string> value(std::string_view after);
std::optional<std::string> valueIn(const Arguments& args, std::string_view after);
bool has(std::string_view flag);
bool hasIn(const Arguments& args, std::string_view flag);
// Every argument that follows an occurrence of flag, in order (for repeatable flags).
std::vector<std::string> valuesIn(const Arguments& args, std::string_view after);

// An optional sign and one or more ASCII digits, within the signed 64-bit range.
std::optional<std::int64_t> parseSelect(std::string_view text);

std::optional<std::string> root();
std::optional<std::string> query();
std::optional<std::string> contents();
std::optional<std::int64_t> select();

} // namespace DevOptions
} // namespace vesko
