#pragma once
// What happens when memory for a Text or a byte set cannot be obtained.
//
// The tool treats that as fatal: the user is told how many bytes were asked for
// and the process ends with status -1. The core only knows that a handler
// exists; the window layer installs one that shows the error box.
#include <cstddef>

namespace velkaro {

using AllocationFailureHandler = void (*)(std::size_t bytesAskedFor);

// Installs the handler; nullptr restores the default, which writes the message
// to standard error and ends the process with status -1.
void SetAllocationFailureHandler(AllocationFailureHandler handler);

// Calls the installed handler and never returns, even if the handler does.
[[noreturn]] void ReportAllocationFailure(std::size_t bytesAskedFor);

// For tests of the fatal path: every allocation of a Text or byte set of at
// least this many bytes fails as if memory had run out. 0 turns it off.
void SetAllocationFailureThresholdForTesting(std::size_t bytes);

}  // namespace velkaro
