// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DevOptions.h"

#include <charconv>

namespace vesko::DevOptions {
namespace {

Arguments& storedArguments() {
    static Arguments args;
    return args;
}

} // namespace

void setArguments(int argc, char** argv) {
    storedArguments().assign(argv, argv + argc);
}

const Arguments& arguments() {
    return storedArguments();
}

std::optional<std::string> valueIn(const Arguments& args, std::string_view after) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != after) continue;
        if (i + 1 < args.size()) return args[i + 1];
        return std::nullopt;
    }
    return std::nullopt;
}

std::vector<std::string> valuesIn(const Arguments& args, std::string_view after) {
    std::vector<std::string> values;
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == after) values.push_back(args[i + 1]);
    return values;
}

bool hasIn(const Arguments& args, std::string_view flag) {
    for (const auto& a : args)
        if (a == flag) return true;
    return false;
}

std::optional<std::string> value(std::string_view after) {
    return valueIn(arguments(), after);
}
bool has(std::string_view flag) {
    return hasIn(arguments(), flag);
}

std::optional<std::int64_t> parseSelect(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    // from_chars takes '-' but not '+', so drop a leading plus only.
    std::string_view number = text.front() == '+' ? text.substr(1) : text;
    std::int64_t result = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), result);
    if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
    return result;
}

// Each is computed on first use and kept for the life of the process.
std::optional<std::string> root() {
    static const auto v = value("--dev-root");
    return v;
}
std::optional<std::string> query() {
    static const auto v = value("--dev-query");
    return v;
}
std::optional<std::string> contents() {
    static const auto v = value("--dev-contents");
    return v;
}
std::optional<std::int64_t> select() {
    static const auto v = [] {
        const auto text = value("--dev-select");
        return text ? parseSelect(*text) : std::nullopt;
    }();
    return v;
}

} // namespace vesko::DevOptions
