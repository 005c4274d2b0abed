// Text appended to a string through a buffer on the stack, a few kilobytes at
// a time. A report's tree is hundreds of thousands of small pieces (keys,
// numbers, short names); through the buffer each costs a copy, not the
// capacity checks and the call of a string append.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace orvane {

class BufferedText {
public:
    explicit BufferedText(std::string& out) : out_(out) {}
    ~BufferedText() { Flush(); }
    BufferedText(const BufferedText&) = delete;
    BufferedText& operator=(const BufferedText&) = delete;

    void Append(std::string_view text) {
        if (text.size() > sizeof buffer_) {
            Flushed().append(text);
            return;
        }
        Room(text.size());
        std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
    }
    void Append(char c) {
        Room(1);
        *at_++ = c;
    }
    // Text whose every unit is ASCII, in any character type.
    template <typename Char>
    void AppendAscii(std::basic_string_view<Char> ascii) {
        if constexpr (sizeof(Char) == 1) {
            Append(std::string_view(reinterpret_cast<const char*>(ascii.data()), ascii.size()));
        } else {
            for (const Char c : ascii) Append(static_cast<char>(c));
        }
    }
    void AppendNumber(std::uint64_t value) {
        constexpr std::size_t kDigits = 20;  // of the largest 64-bit number
        Room(kDigits);
        at_ = std::to_chars(at_, at_ + kDigits, value).ptr;
    }
    // The string with everything so far in it, to append to directly.
    std::string& Flushed() {
        Flush();
        return out_;
    }

private:
    void Room(std::size_t size) {
        if (static_cast<std::size_t>(buffer_ + sizeof buffer_ - at_) < size) Flush();
    }
    void Flush() {
        out_.append(buffer_, at_);
        at_ = buffer_;
    }

    std::string& out_;
    char buffer_[4096];
    char* at_ = buffer_;
};

}  // namespace orvane
