#include "error_info.h"

#include <oleauto.h>

namespace orvane::engine::com {

void ClearErrorDescription() noexcept { ::SetErrorInfo(0, nullptr); }

}  // namespace orvane::engine::com
