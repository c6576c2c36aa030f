// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProcessMemory.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <string>

namespace vesko::ProcessMemory {
namespace {

std::optional<std::string> readStatus() {
    std::ifstream file("/proc/self/status");
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

std::optional<std::int64_t> statusField(std::string_view status, std::string_view key) {
    std::size_t at = 0;
    while (at < status.size()) {
        const std::size_t end = std::min(status.find('\n', at), status.size());
        std::string_view line = status.substr(at, end - at);
        at = end + 1;
        if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ':')
            continue;
        line.remove_prefix(key.size() + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        std::int64_t kib = 0;
        const auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), kib);
        if (error != std::errc() || std::string_view(rest, line.data() + line.size()) != " kB")
            return std::nullopt;
        return kib * 1024;
    }
    return std::nullopt;
}

std::optional<std::int64_t> residentBytes() {
    const auto status = readStatus();
    if (!status) return std::nullopt;
    return statusField(*status, "VmRSS");
}

std::optional<std::int64_t> footprintBytes() {
    const auto status = readStatus();
    if (!status) return std::nullopt;
    const auto resident = statusField(*status, "VmRSS");
    if (!resident) return std::nullopt;
    return *resident + statusField(*status, "VmSwap").value_or(0);
}

double mebibytes(std::optional<std::int64_t> bytes) {
    return bytes ? static_cast<double>(*bytes) / (1024.0 * 1024.0) : 0.0;
}

} // namespace vesko::ProcessMemory
