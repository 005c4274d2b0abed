// A small strict JSON reader, enough to read our own earlier reports back:
// a document becomes a tree of values. Reports are files anyone can edit, so
// the reader never trusts them: bad syntax, deep nesting and huge numbers
// fail cleanly instead of crashing.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane::engine::report {

struct JsonValue {
    // Declared here and defaulted below, where the type is complete: a
    // vector of pairs holding the type being defined cannot be destroyed
    // inside its own definition (clang with libstdc++ refuses it).
    JsonValue();
    JsonValue(const JsonValue&);
    JsonValue(JsonValue&&) noexcept;
    JsonValue& operator=(const JsonValue&);
    JsonValue& operator=(JsonValue&&) noexcept;
    ~JsonValue();

    enum class Kind : std::uint8_t { kNull, kBool, kNumber, kString, kArray, kObject };
    Kind kind = Kind::kNull;
    bool boolean = false;
    std::string text;  // a string's UTF-8, or a number's literal
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;  // in document order

    // The member `key` of an object, or null.
    const JsonValue* Find(std::string_view key) const;
    // The number as an unsigned 64-bit integer, when it is exactly one.
    std::optional<std::uint64_t> Unsigned() const;
    std::optional<std::int64_t> Signed() const;
    // A member's value of the given kind, or a default.
    std::uint64_t UnsignedAt(std::string_view key, std::uint64_t otherwise = 0) const;
    std::string StringAt(std::string_view key) const;
};

inline JsonValue::JsonValue() = default;
inline JsonValue::JsonValue(const JsonValue&) = default;
inline JsonValue::JsonValue(JsonValue&&) noexcept = default;
inline JsonValue& JsonValue::operator=(const JsonValue&) = default;
inline JsonValue& JsonValue::operator=(JsonValue&&) noexcept = default;
inline JsonValue::~JsonValue() = default;

// Null when `text` is not exactly one JSON value.
std::optional<JsonValue> ParseJson(std::string_view text);
// The members of the object `text` holds up to the first one with a name in
// `stop_at`, which is not read, nor anything after it: a summary of a large
// document costs only its head. Null when that head is not valid JSON.
std::optional<JsonValue> ParseJsonHead(std::string_view text,
                                       std::initializer_list<std::string_view> stop_at);

}  // namespace orvane::engine::report
