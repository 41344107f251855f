#pragma once

namespace xbase::detail {

// Test hook: when the environment variable XBASE_FAULT_POINT names this point,
// the process ends on the spot, as if killed, so tests can prove what a crash at
// that moment leaves behind. Costs one comparison otherwise.
void faultPoint(const char* name);

} // namespace xbase::detail
