// A small strict JSON reader, enough to read our own earlier reports back.
// It pulls values one at a time straight into the caller's structures: no
// document tree is built, so reading costs about the size of what is kept.
//
// Reports are files anyone can edit, so nothing in them is trusted: the
// reader never recurses on the input's nesting (skipping a value of any
// depth uses a stack on the heap), strings must be valid UTF-8, numbers must
// fit what they are read as, and the first fault stops everything with a
// sentence saying what it was and where.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::engine::report {

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    // Containers: Begin*, then Next* until it returns false (the container's
    // end, or a fault: see failed()).
    bool BeginObject();
    bool NextMember(std::string& key);  // reads the key and the colon
    bool BeginArray();
    bool NextItem();

    // Scalars; each fails (and says why) when the value is of another kind.
    bool String(std::string& out);
    bool Unsigned(std::uint64_t& out);  // an integer from 0 to 2^64 - 1
    bool Signed(std::int64_t& out);
    bool Bool(bool& out);
    // Any value, however deeply nested.
    bool Skip();
    // True when only white space is left.
    bool AtEnd();

    // Records the first fault: "<what> at byte N". Always returns false.
    bool Fail(std::string_view what);
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    std::size_t position() const { return pos_; }

private:
    void SkipSpace();
    bool Take(char c);
    bool Word(std::string_view word);
    bool NumberToken(std::string_view& token);
    bool Scalar();
    bool Hex4(char32_t& code);
    bool Escape(std::string& out);
    bool Unicode(std::string& out);
    bool Close(char bracket);

    std::string_view text_;
    std::size_t pos_ = 0;
    bool expect_first_ = false;  // a container was just opened
    std::string error_;
    std::string scratch_;
};

}  // namespace orvane::engine::report
