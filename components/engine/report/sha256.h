// SHA-256, for the one thing a page needs it for: naming its own inline
// script in its content security policy, so that exactly that script runs
// and nothing else ever can.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane::engine::report {

std::array<std::uint8_t, 32> Sha256(std::string_view bytes);
std::string Base64(const std::uint8_t* bytes, std::size_t size);
// "'sha256-...'", as a content security policy names a script.
std::string CspHashSource(std::string_view script);

}  // namespace orvane::engine::report
