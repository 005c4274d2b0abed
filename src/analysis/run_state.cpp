// The run's program-wide state: the fields of the engine's latest status
// text, re-dimensioned by the run driver and replaced by each tick.
#include "analysis/run_state.h"

namespace orvane {

std::vector<std::wstring> sStatusParts;

}  // namespace orvane
