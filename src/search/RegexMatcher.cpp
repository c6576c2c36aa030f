// SPDX-License-Identifier: MIT
#include "search/RegexMatcher.h"

#include <cstring>

namespace vesko {

RegexMatcher::RegexMatcher(std::string_view pattern, bool caseSensitive) {
    const std::string terminated(pattern);
    const int flags = REG_EXTENDED | REG_NOSUB | (caseSensitive ? 0 : REG_ICASE);
    const int code = regcomp(&compiled_, terminated.c_str(), flags);
    ok_ = code == 0;
    if (ok_) return;
    char message[256] = {};
    regerror(code, &compiled_, message, sizeof message);
    problem_ = std::string(message, strnlen(message, sizeof message));
}

RegexMatcher::~RegexMatcher() {
    if (ok_) regfree(&compiled_);
}

bool RegexMatcher::matches(const std::uint8_t* bytes, std::size_t count) const {
    if (!ok_) return false;
    char local[256];
    std::string heap;
    char* text = local;
    if (count >= sizeof local) {
        heap.resize(count);
        text = heap.data();
    }
    if (count) std::memcpy(text, bytes, count);
    text[count] = '\0';
    return regexec(&compiled_, text, 0, nullptr, 0) == 0;
}

} // namespace vesko
