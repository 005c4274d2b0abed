// A strict little JSON reader for checking reports: it rejects anything a
// standard parser would (bad escapes, raw control characters, invalid UTF-8,
// trailing commas, trailing text), and gives access to what it read.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::engine::testing {

struct JsonValue {
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
    bool boolean = false;
    std::string number;  // as written, so 64-bit integers stay exact
    std::string text;    // UTF-8
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    const JsonValue& operator[](const std::string& key) const {
        auto found = members.find(key);
        if (type != Type::kObject || found == members.end())
            throw std::runtime_error("no member " + key);
        return found->second;
    }
    const JsonValue& operator[](std::size_t index) const { return items.at(index); }
    bool Has(const std::string& key) const { return members.count(key) != 0; }
    std::uint64_t U64() const {
        if (type != Type::kNumber) throw std::runtime_error("not a number");
        return std::stoull(number);
    }
};

class JsonReader {
public:
    // Throws std::runtime_error with the offset of the first problem.
    static JsonValue Parse(std::string_view text) {
        JsonReader reader(text);
        JsonValue value = reader.Value();
        reader.SkipSpace();
        if (reader.at_ != text.size()) reader.Fail("trailing text");
        return value;
    }

private:
    explicit JsonReader(std::string_view text) : text_(text) {}

    [[noreturn]] void Fail(const char* what) const {
        throw std::runtime_error(std::string(what) + " at offset " + std::to_string(at_));
    }
    void SkipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\r' || text_[at_] == '\t')) {
            at_++;
        }
    }
    char Peek() {
        SkipSpace();
        if (at_ == text_.size()) Fail("unexpected end");
        return text_[at_];
    }
    void Expect(char c) {
        if (Peek() != c) Fail("unexpected character");
        at_++;
    }
    bool Literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    JsonValue Value() {
        JsonValue value;
        char c = Peek();
        if (c == '{') {
            value.type = JsonValue::Type::kObject;
            at_++;
            if (Peek() == '}') return at_++, value;
            for (;;) {
                if (Peek() != '"') Fail("expected a key");
                std::string key = String();
                Expect(':');
                if (!value.members.emplace(key, Value()).second) Fail("duplicate key");
                if (Peek() == ',') {
                    at_++;
                    continue;
                }
                Expect('}');
                return value;
            }
        }
        if (c == '[') {
            value.type = JsonValue::Type::kArray;
            at_++;
            if (Peek() == ']') return at_++, value;
            for (;;) {
                value.items.push_back(Value());
                if (Peek() == ',') {
                    at_++;
                    continue;
                }
                Expect(']');
                return value;
            }
        }
        if (c == '"') {
            value.type = JsonValue::Type::kString;
            value.text = String();
            return value;
        }
        if (Literal("true") || Literal("false")) {
            value.type = JsonValue::Type::kBool;
            value.boolean = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
            return value;
        }
        if (Literal("null")) return value;
        value.type = JsonValue::Type::kNumber;
        value.number = Number();
        return value;
    }

    std::string Number() {
        std::size_t start = at_;
        if (at_ < text_.size() && text_[at_] == '-') at_++;
        auto digits = [&] {
            std::size_t first = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') at_++;
            if (at_ == first) Fail("expected digits");
        };
        if (at_ < text_.size() && text_[at_] == '0') {
            at_++;
        } else {
            digits();
        }
        if (at_ < text_.size() && text_[at_] == '.') at_++, digits();
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            at_++;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) at_++;
            digits();
        }
        return std::string(text_.substr(start, at_ - start));
    }

    unsigned Hex4() {
        if (at_ + 4 > text_.size()) Fail("short \\u escape");
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            char c = text_[at_++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= unsigned(c - 'A' + 10);
            else
                Fail("bad \\u escape");
        }
        return value;
    }

    static void Append(std::string& out, unsigned code) {
        if (code < 0x80) {
            out.push_back(char(code));
        } else if (code < 0x800) {
            out.push_back(char(0xC0 | (code >> 6)));
            out.push_back(char(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(char(0xE0 | (code >> 12)));
            out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(char(0x80 | (code & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (code >> 18)));
            out.push_back(char(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(char(0x80 | (code & 0x3F)));
        }
    }

    // Checks one raw UTF-8 character and copies it.
    void Utf8Char(std::string& out) {
        auto lead = static_cast<unsigned char>(text_[at_]);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        if (length == 0 || at_ + length > text_.size()) Fail("invalid UTF-8");
        unsigned code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text_[at_ + k]);
            if ((next & 0xC0) != 0x80) Fail("invalid UTF-8");
            code = (code << 6) | (next & 0x3F);
        }
        static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kMin[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            Fail("invalid UTF-8");
        }
        out.append(text_.substr(at_, length));
        at_ += length;
    }

    std::string String() {
        Expect('"');
        std::string out;
        for (;;) {
            if (at_ == text_.size()) Fail("unterminated string");
            char c = text_[at_];
            if (c == '"') return at_++, out;
            if (static_cast<unsigned char>(c) < 0x20) Fail("raw control character");
            if (c != '\\') {
                Utf8Char(out);
                continue;
            }
            if (++at_ == text_.size()) Fail("unterminated escape");
            switch (text_[at_++]) {
                case '"':
                    out.push_back('"');
                    break;
                case '\\':
                    out.push_back('\\');
                    break;
                case '/':
                    out.push_back('/');
                    break;
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'u': {
                    unsigned code = Hex4();
                    if (code >= 0xDC00 && code <= 0xDFFF) Fail("unpaired low surrogate");
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        if (!Literal("\\u")) Fail("unpaired high surrogate");
                        unsigned low = Hex4();
                        if (low < 0xDC00 || low > 0xDFFF) Fail("unpaired high surrogate");
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    }
                    Append(out, code);
                    break;
                }
                default:
                    Fail("bad escape");
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace orvane::engine::testing
