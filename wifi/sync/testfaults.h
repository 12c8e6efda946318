// Tests make an operation of the sync engine fail by exception here, to
// reach the paths that catch it. Never armed in the product.
#pragma once

namespace kivo::sync {

// Throws std::runtime_error when a test armed this operation's name.
void raiseTestFault(const char* operation);
// For tests only: the operation that throws next (once); null disarms.
void armTestFault(const char* operation);

} // namespace kivo::sync
