#include "AllocationFailure.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "FatalAllocator.h"

namespace velkaro {
namespace {

std::atomic<AllocationFailureHandler> gHandler{nullptr};
std::atomic<std::size_t> gFailThreshold{0};

void DefaultHandler(std::size_t bytes) {
  std::fprintf(stderr, "velkaro: out of memory allocating %zu bytes\n", bytes);
}

}  // namespace

void SetAllocationFailureHandler(AllocationFailureHandler handler) { gHandler = handler; }

void SetAllocationFailureThresholdForTesting(std::size_t bytes) { gFailThreshold = bytes; }

void ReportAllocationFailure(std::size_t bytesAskedFor) {
  AllocationFailureHandler handler = gHandler.load();
  (handler ? handler : DefaultHandler)(bytesAskedFor);
  std::_Exit(-1);
}

namespace detail {
void* AllocateOrDie(std::size_t bytes) {
  const std::size_t threshold = gFailThreshold.load(std::memory_order_relaxed);
  if (threshold != 0 && bytes >= threshold) ReportAllocationFailure(bytes);
  // malloc(0) may return null legitimately; ask for one byte instead.
  void* p = std::malloc(bytes == 0 ? 1 : bytes);
  if (p == nullptr) ReportAllocationFailure(bytes);
  return p;
}
}  // namespace detail

}  // namespace velkaro
