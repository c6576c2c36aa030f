// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/ResultSort.h"

#include "index/Unicode.h"

#include <cstdint>
#include <variant>

namespace vesko {
namespace {

// A strict JSON reader (RFC 8259) for one object of scalar and nested values. It keeps
// only strings and booleans; every other value is parsed and dropped. Any syntax error
// makes the whole read fail.
class JsonReader {
public:
    struct Other {};
    using Value = std::variant<Other, bool, std::string>;

    explicit JsonReader(std::string_view text) : text_(text) {}

    // Calls member(key, value) for each member of the top-level object; false on any error,
    // including text after the object.
    template <class Member> bool readObject(Member&& member) {
        skipSpace();
        if (!take('{')) return false;
        skipSpace();
        if (!take('}')) {
            do {
                skipSpace();
                std::string key;
                Value value;
                if (!readString(key) || !(skipSpace(), take(':')) || !readValue(value, 1))
                    return false;
                member(key, std::move(value));
                skipSpace();
            } while (take(','));
            if (!take('}')) return false;
        }
        skipSpace();
        return pos_ == text_.size();
    }

private:
    // Deep enough for any sane record, shallow enough that garbage cannot exhaust the stack.
    static constexpr int maxDepth = 64;

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    bool take(char c) {
        if (atEnd() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    bool takeWord(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }
    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++pos_;
    }
    bool skipDigits() {
        const std::size_t start = pos_;
        while (!atEnd() && peek() >= '0' && peek() <= '9')
            ++pos_;
        return pos_ > start;
    }

    bool readValue(Value& value, int depth);
    bool readContainer(char close, int depth);
    bool readNumber();
    bool readString(std::string& out);
    bool readEscape(std::string& out);
    bool readHex4(std::uint32_t& unit);

    std::string_view text_;
    std::size_t pos_ = 0;
};

bool JsonReader::readValue(Value& value, int depth) {
    skipSpace();
    value = Other{};
    switch (peek()) {
    case '"': {
        std::string s;
        if (!readString(s)) return false;
        value = std::move(s);
        return true;
    }
    case 't':
        value = true;
        return takeWord("true");
    case 'f':
        value = false;
        return takeWord("false");
    case 'n':
        return takeWord("null");
    case '{':
        ++pos_;
        return readContainer('}', depth + 1);
    case '[':
        ++pos_;
        return readContainer(']', depth + 1);
    default:
        return readNumber();
    }
}

// The rest of an object or array whose opening bracket was taken; its values are dropped.
bool JsonReader::readContainer(char close, int depth) {
    if (depth > maxDepth) return false;
    skipSpace();
    if (take(close)) return true;
    do {
        Value ignored;
        if (close == '}') {
            std::string key;
            skipSpace();
            if (!readString(key) || !(skipSpace(), take(':'))) return false;
        }
        if (!readValue(ignored, depth)) return false;
        skipSpace();
    } while (take(','));
    return take(close);
}

bool JsonReader::readNumber() {
    take('-');
    if (!take('0') && !skipDigits()) return false;
    if (take('.') && !skipDigits()) return false;
    if (take('e') || take('E')) {
        if (!take('+')) take('-');
        if (!skipDigits()) return false;
    }
    return true;
}

bool JsonReader::readString(std::string& out) {
    if (!take('"')) return false;
    while (!atEnd()) {
        const char c = text_[pos_++];
        if (c == '"') return true;
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (c != '\\') {
            out += c;
        } else if (!readEscape(out)) {
            return false;
        }
    }
    return false;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool JsonReader::readEscape(std::string& out) {
    if (atEnd()) return false;
    const char c = text_[pos_++];
    switch (c) {
    case '"':
    case '\\':
    case '/':
        out += c;
        return true;
    case 'b':
        out += '\b';
        return true;
    case 'f':
        out += '\f';
        return true;
    case 'n':
        out += '\n';
        return true;
    case 'r':
        out += '\r';
        return true;
    case 't':
        out += '\t';
        return true;
    case 'u':
        break;
    default:
        return false;
    }
    std::uint32_t unit = 0;
    if (!readHex4(unit)) return false;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false; // a low surrogate on its own
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        std::uint32_t low = 0;
        if (!takeWord("\\u") || !readHex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(out, unit);
    return true;
}

bool JsonReader::readHex4(std::uint32_t& unit) {
    for (int i = 0; i < 4; ++i) {
        const char c = peek();
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return false;
        unit = unit * 16 + digit;
        ++pos_;
    }
    return true;
}

} // namespace

bool ResultSort::defaultAscending(Field field) {
    switch (field) {
    case Field::size:
    case Field::modified:
    case Field::created:
    case Field::accessed:
        return false;
    default:
        return true;
    }
}

std::string_view ResultSort::rawText(Field field) {
    return fieldTexts[static_cast<std::size_t>(field)].second;
}

std::optional<ResultSort::Field> ResultSort::fieldNamed(std::string_view raw) {
    for (const auto& [field, text] : fieldTexts)
        if (text == raw) return field;
    return std::nullopt;
}

std::string ResultSort::toJson() const {
    // Raw texts are plain ASCII words, so they need no escaping.
    return std::string(R"({"field":")") + std::string(rawText(field)) + R"(","ascending":)" +
           (ascending ? "true" : "false") + "}";
}

std::optional<ResultSort> ResultSort::fromJson(std::string_view json) {
    if (!Unicode::isValidUtf8(json)) return std::nullopt;
    JsonReader::Value field, ascending;
    const bool parsed = JsonReader(json).readObject([&](const std::string& key, auto&& value) {
        if (key == "field")
            field = value;
        else if (key == "ascending")
            ascending = value;
    });
    if (!parsed) return std::nullopt;
    const auto* raw = std::get_if<std::string>(&field);
    const bool* direction = std::get_if<bool>(&ascending);
    if (!raw || !direction) return std::nullopt;
    const auto known = fieldNamed(*raw);
    if (!known) return std::nullopt;
    return ResultSort{*known, *direction};
}

ResultSort ResultSort::fromStored(std::optional<std::string_view> json) {
    if (json)
        if (auto sort = fromJson(*json)) return *sort;
    return ResultSort{};
}

ResultSort toggleSort(ResultSort current, ResultSort::Field clicked) {
    const ResultSort chosen{clicked, ResultSort::defaultAscending(clicked)};
    if (!chosen.isColumnSorted() || current.field != clicked) return chosen;
    if (current.ascending == chosen.ascending) return {clicked, !chosen.ascending};
    return ResultSort{};
}

} // namespace vesko
