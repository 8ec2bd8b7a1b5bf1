#pragma once

#include <vector>

#include "model/ModuleState.h"

namespace quorval {

class Html;

// The ring as the bus view draws it, as inline SVG: one group of class
// "module" per module in display order, "PC" at the attached one, the links
// between neighbours blue or red.
void WriteRingSvg(Html& html, const std::vector<ModuleState>& modules);

}  // namespace quorval
