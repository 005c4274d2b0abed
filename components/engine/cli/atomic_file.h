// Writes a file so that readers see either the old content or the whole new
// one: a temporary file beside it, flushed, then renamed over it.
#pragma once

#include <string>

#include "core/native_string.h"

namespace orvane::engine::cli {

// False (with a message in `error`) when any step fails; the temporary file
// is removed then.
bool WriteFileAtomically(const NativeString& path, const std::string& content, std::string& error);

}  // namespace orvane::engine::cli
