// Names as the file system stores them (UTF-16 units) turned into the
// scanner's native text: unchanged on Windows; UTF-8 on POSIX, with a
// surrogate that has no partner written as its own three bytes, so that
// no name is lost or merged with another.
#pragma once

#include "core/native_string.h"
#include "ntfs/little_endian.h"

namespace orvane::engine::ntfs {

void AppendNativeName(ByteView utf16, NativeString& out);

}  // namespace orvane::engine::ntfs
