#include "report/json_reader.h"

#include "core/report_json.h"

namespace orvane::engine::report {
namespace {

// Our reports nest five levels deep; anything far deeper is not one of them.
constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool Document(JsonValue& out) {
        if (!Value(out, 0)) return false;
        SkipSpace();
        return pos_ == text_.size();
    }

    // The object's members up to one of the keys `stop_at`.
    bool Head(JsonValue& out, std::initializer_list<std::string_view> stop_at) {
        out.kind = JsonValue::Kind::kObject;
        if (!Take('{')) return false;
        if (Take('}')) return true;
        do {
            SkipSpace();
            std::string key;
            if (pos_ == text_.size() || text_[pos_] != '"' || !String(key)) return false;
            for (std::string_view stop : stop_at) {
                if (key == stop) return true;
            }
            if (!Take(':')) return false;
            out.members.emplace_back(std::move(key), JsonValue{});
            if (!Value(out.members.back().second, 1)) return false;
        } while (Take(','));
        return Take('}');
    }

private:
    void SkipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                       text_[pos_] == '\r' || text_[pos_] == '\t'))
            pos_++;
    }
    bool Take(char c) {
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) return ++pos_, true;
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    bool Value(JsonValue& out, int depth) {
        if (depth > kMaxDepth) return false;
        SkipSpace();
        if (pos_ == text_.size()) return false;
        switch (text_[pos_]) {
            case '{':
                return Object(out, depth);
            case '[':
                return Array(out, depth);
            case '"':
                out.kind = JsonValue::Kind::kString;
                return String(out.text);
            case 't':
                out.kind = JsonValue::Kind::kBool;
                out.boolean = true;
                return Word("true");
            case 'f':
                out.kind = JsonValue::Kind::kBool;
                return Word("false");
            case 'n':
                return Word("null");
            default:
                return Number(out);
        }
    }

    bool Object(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::kObject;
        pos_++;
        if (Take('}')) return true;
        do {
            SkipSpace();
            std::string key;
            if (pos_ == text_.size() || text_[pos_] != '"' || !String(key)) return false;
            if (!Take(':')) return false;
            out.members.emplace_back(std::move(key), JsonValue{});
            if (!Value(out.members.back().second, depth + 1)) return false;
        } while (Take(','));
        return Take('}');
    }

    bool Array(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::kArray;
        pos_++;
        if (Take(']')) return true;
        do {
            out.items.emplace_back();
            if (!Value(out.items.back(), depth + 1)) return false;
        } while (Take(','));
        return Take(']');
    }

    bool Number(JsonValue& out) {
        out.kind = JsonValue::Kind::kNumber;
        const std::size_t start = pos_;
        auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') pos_++;
            return pos_ > from;
        };
        if (pos_ < text_.size() && text_[pos_] == '-') pos_++;
        if (!digits()) return false;
        if (pos_ < text_.size() && text_[pos_] == '.') {
            pos_++;
            if (!digits()) return false;
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            pos_++;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) pos_++;
            if (!digits()) return false;
        }
        out.text.assign(text_.substr(start, pos_ - start));
        return true;
    }

    bool Hex4(char32_t& code) {
        if (pos_ + 4 > text_.size()) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            code <<= 4;
            if (c >= '0' && c <= '9') {
                code |= static_cast<char32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                code |= static_cast<char32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                code |= static_cast<char32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    bool Escape(std::string& out) {
        if (pos_ == text_.size()) return false;
        const char c = text_[pos_++];
        switch (c) {
            case '"':
            case '\\':
            case '/':
                out.push_back(c);
                return true;
            case 'b':
                out.push_back('\b');
                return true;
            case 'f':
                out.push_back('\f');
                return true;
            case 'n':
                out.push_back('\n');
                return true;
            case 'r':
                out.push_back('\r');
                return true;
            case 't':
                out.push_back('\t');
                return true;
            case 'u':
                return Unicode(out);
            default:
                return false;
        }
    }

    // A lone surrogate cannot be UTF-8: it becomes U+FFFD, as in our writer.
    bool Unicode(std::string& out) {
        char32_t code;
        if (!Hex4(code)) return false;
        if (code >= 0xD800 && code < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
            const std::size_t back = pos_;
            pos_ += 2;
            char32_t low;
            if (Hex4(low) && low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                return true;
            }
            pos_ = back;
        }
        AppendUtf8(out, code >= 0xD800 && code <= 0xDFFF ? 0xFFFD : code);
        return true;
    }

    bool String(std::string& out) {
        pos_++;  // the opening quote
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c == '\\') {
                if (!Escape(out)) return false;
            } else {
                out.push_back(c);
            }
        }
        return false;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
    for (const auto& [name, value] : members) {
        if (name == key) return &value;
    }
    return nullptr;
}

std::optional<std::uint64_t> JsonValue::Unsigned() const {
    if (kind != Kind::kNumber || text.empty() || text.size() > 20) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::int64_t> JsonValue::Signed() const {
    if (kind != Kind::kNumber || text.empty()) return std::nullopt;
    JsonValue magnitude;
    magnitude.kind = Kind::kNumber;
    const bool negative = text[0] == '-';
    magnitude.text = negative ? text.substr(1) : text;
    const auto value = magnitude.Unsigned();
    if (!value || *value > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return negative ? -static_cast<std::int64_t>(*value) : static_cast<std::int64_t>(*value);
}

std::uint64_t JsonValue::UnsignedAt(std::string_view key, std::uint64_t otherwise) const {
    const JsonValue* value = Find(key);
    const auto number = value ? value->Unsigned() : std::nullopt;
    return number ? *number : otherwise;
}

std::string JsonValue::StringAt(std::string_view key) const {
    const JsonValue* value = Find(key);
    return value && value->kind == Kind::kString ? value->text : std::string();
}

std::optional<JsonValue> ParseJsonHead(std::string_view text,
                                       std::initializer_list<std::string_view> stop_at) {
    JsonValue value;
    if (!Parser(text).Head(value, stop_at)) return std::nullopt;
    return value;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
    JsonValue value;
    if (!Parser(text).Document(value)) return std::nullopt;
    return value;
}

}  // namespace orvane::engine::report
