#pragma once

namespace qx {

// Registers the program's pictures; they live in a static library, whose
// resource registration the linker would otherwise drop. Safe to repeat.
void InitResources();

}  // namespace qx
