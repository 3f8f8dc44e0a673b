#pragma once
// An allocator for the tool's Texts and byte sets that never returns null and
// never throws: a failed allocation is fatal (see AllocationFailure.h), so no
// caller has to handle it and no partly built value escapes.
#include <cstddef>
#include <cstdlib>
#include <limits>

#include "AllocationFailure.h"

namespace velkaro {

namespace detail {
void* AllocateOrDie(std::size_t bytes);
}

template <typename T>
struct FatalAllocator {
  using value_type = T;

  FatalAllocator() noexcept = default;
  template <typename U>
  FatalAllocator(const FatalAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
      ReportAllocationFailure(std::numeric_limits<std::size_t>::max());
    }
    return static_cast<T*>(detail::AllocateOrDie(count * sizeof(T)));
  }
  void deallocate(T* p, std::size_t) noexcept { std::free(p); }

  template <typename U>
  bool operator==(const FatalAllocator<U>&) const noexcept { return true; }
};

}  // namespace velkaro
