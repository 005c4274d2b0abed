// A POSIX file descriptor's owner. Portable: it needs no Windows header, and
// on Windows it is simply not declared.
#pragma once

#if !defined(_WIN32)
#include <unistd.h>

#include "orvane/unique_any.h"

namespace orvane {

namespace detail {
inline void CloseFd(int fd) noexcept { ::close(fd); }
}  // namespace detail

using unique_fd = unique_any<int, detail::CloseFd, none_value::minus_one>;

// Closes the descriptor and says whether that worked: on some file systems
// closing is where a late write error shows, so a writer must look.
inline bool close_reporting(unique_fd& fd) noexcept {
    const int raw = fd.release();
    return raw < 0 || ::close(raw) == 0;
}

}  // namespace orvane

#endif
