#include "report/json_reader.h"

#include "orvane/text.h"

namespace orvane::engine::report {

bool JsonReader::Fail(std::string_view what) {
    if (pos_ >= text_.size()) what = "the document is cut short";
    if (error_.empty()) error_ = std::string(what) + " at byte " + std::to_string(pos_);
    return false;
}

void JsonReader::SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\t'))
        pos_++;
}

bool JsonReader::Take(char c) {
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == c) return ++pos_, true;
    return false;
}

bool JsonReader::Word(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return Fail("not a JSON value");
    pos_ += word.size();
    return true;
}

bool JsonReader::BeginObject() {
    if (failed()) return false;
    if (!Take('{')) return Fail("an object was expected");
    expect_first_ = true;
    return true;
}

bool JsonReader::BeginArray() {
    if (failed()) return false;
    if (!Take('[')) return Fail("an array was expected");
    expect_first_ = true;
    return true;
}

// False at the container's end; a fault when neither a comma nor the end follows.
bool JsonReader::Close(char bracket) {
    if (expect_first_) {
        expect_first_ = false;
        if (Take(bracket)) return false;
        return true;
    }
    if (Take(bracket)) return false;
    if (!Take(','))
        return Fail(bracket == '}' ? "a comma or } was expected" : "a comma or ] was expected");
    return true;
}

bool JsonReader::NextMember(std::string& key) {
    if (failed() || !Close('}')) return false;
    SkipSpace();
    if (pos_ == text_.size() || text_[pos_] != '"') return Fail("a member name was expected");
    key.clear();
    if (!String(key)) return false;
    if (!Take(':')) return Fail("a colon was expected");
    return true;
}

bool JsonReader::NextItem() { return !failed() && Close(']'); }

bool JsonReader::Hex4(char32_t& code) {
    if (text_.size() - pos_ < 4) return Fail("a cut \\u escape");
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
            return Fail("a bad \\u escape");
        }
    }
    return true;
}

bool JsonReader::Escape(std::string& out) {
    if (pos_ == text_.size()) return Fail("a cut string");
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
            return Fail("a bad escape");
    }
}

// A lone surrogate cannot be UTF-8: it becomes U+FFFD, as in our writer.
bool JsonReader::Unicode(std::string& out) {
    char32_t code = 0;
    if (!Hex4(code)) return false;
    if (code >= 0xD800 && code < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
        const std::size_t back = pos_;
        pos_ += 2;
        char32_t low = 0;
        if (Hex4(low) && low >= 0xDC00 && low <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
            return true;
        }
        if (failed()) return false;
        pos_ = back;
    }
    AppendUtf8(out, code >= 0xD800 && code <= 0xDFFF ? 0xFFFD : code);
    return true;
}

bool JsonReader::String(std::string& out) {
    if (failed()) return false;
    SkipSpace();
    if (pos_ == text_.size() || text_[pos_] != '"') return Fail("a string was expected");
    const std::size_t start = ++pos_;
    out.clear();
    while (pos_ < text_.size()) {
        // Runs of plain characters are copied whole.
        std::size_t run = pos_;
        while (run < text_.size() && text_[run] != '"' && text_[run] != '\\' &&
               static_cast<unsigned char>(text_[run]) >= 0x20)
            run++;
        out.append(text_.substr(pos_, run - pos_));
        pos_ = run;
        if (pos_ == text_.size()) break;
        const char c = text_[pos_++];
        if (c == '"') {
            if (IsValidUtf8(out)) return true;
            pos_ = start;
            return Fail("a string that is not valid UTF-8");
        }
        if (c != '\\') return Fail("a control character in a string");
        if (!Escape(out)) return false;
    }
    return Fail("a cut string");
}

bool JsonReader::NumberToken(std::string_view& token) {
    SkipSpace();
    const std::size_t start = pos_;
    auto digits = [&] {
        const std::size_t from = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') pos_++;
        return pos_ > from;
    };
    if (pos_ < text_.size() && text_[pos_] == '-') pos_++;
    const std::size_t first_digit = pos_;
    if (!digits()) return pos_ = start, Fail("a number was expected");
    if (pos_ - first_digit > 1 && text_[first_digit] == '0')
        return Fail("a number with a leading 0");
    if (pos_ < text_.size() && text_[pos_] == '.') {
        pos_++;
        if (!digits()) return Fail("a bad number");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
        pos_++;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) pos_++;
        if (!digits()) return Fail("a bad number");
    }
    token = text_.substr(start, pos_ - start);
    return true;
}

namespace {

// The digits as a 64-bit magnitude; false when it is not a plain integer or too large.
bool Magnitude(std::string_view digits, std::uint64_t& value) {
    if (digits.empty()) return false;
    value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

}  // namespace

bool JsonReader::Unsigned(std::uint64_t& out) {
    if (failed()) return false;
    const std::size_t start = pos_;
    std::string_view token;
    if (!NumberToken(token)) return false;
    if (!Magnitude(token, out)) {
        pos_ = start;
        return Fail("a number that is not a count from 0 to 2^64 - 1");
    }
    return true;
}

bool JsonReader::Signed(std::int64_t& out) {
    if (failed()) return false;
    const std::size_t start = pos_;
    std::string_view token;
    if (!NumberToken(token)) return false;
    const bool negative = token.front() == '-';
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = static_cast<std::uint64_t>(INT64_MAX) + (negative ? 1 : 0);
    if (!Magnitude(negative ? token.substr(1) : token, magnitude) || magnitude > limit) {
        pos_ = start;
        return Fail("a number that is not a 64-bit integer");
    }
    out =
        negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

bool JsonReader::Bool(bool& out) {
    if (failed()) return false;
    SkipSpace();
    if (text_.substr(pos_, 4) == "true") return pos_ += 4, out = true, true;
    if (text_.substr(pos_, 5) == "false") return pos_ += 5, out = false, true;
    return Fail("true or false was expected");
}

bool JsonReader::Scalar() {
    SkipSpace();
    if (pos_ == text_.size()) return Fail("a cut document");
    switch (text_[pos_]) {
        case '"':
            return String(scratch_);
        case 't':
            return Word("true");
        case 'f':
            return Word("false");
        case 'n':
            return Word("null");
        default: {
            std::string_view token;
            return NumberToken(token);
        }
    }
}

bool JsonReader::Skip() {
    if (failed()) return false;
    std::vector<bool> in_object;  // the open containers, innermost last
    bool need_value = true;
    for (;;) {
        if (need_value) {
            SkipSpace();
            const char c = pos_ < text_.size() ? text_[pos_] : '\0';
            if (c == '{' || c == '[') {
                if (!(c == '{' ? BeginObject() : BeginArray())) return false;
                in_object.push_back(c == '{');
            } else if (!Scalar()) {
                return false;
            }
        }
        if (in_object.empty()) return true;
        const bool more = in_object.back() ? NextMember(scratch_) : NextItem();
        if (failed()) return false;
        need_value = more;
        if (!more) in_object.pop_back();
    }
}

bool JsonReader::AtEnd() {
    if (failed()) return false;
    SkipSpace();
    return pos_ == text_.size() || Fail("more after the end of the document");
}

}  // namespace orvane::engine::report
