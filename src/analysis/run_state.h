// Program-wide state of the analysis run.
#pragma once

#include <string>
#include <vector>

namespace orvane {

// The fields of the engine's latest status text.
extern std::vector<std::wstring> sStatusParts;

}  // namespace orvane
