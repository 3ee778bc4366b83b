#include "tests/alloc/alloc_counter.h"

#include <cstdlib>
#include <new>

#if defined(PELLIX_WRAP_MALLOC)
extern "C" void* __real_malloc(std::size_t size);
#endif

namespace pellix::alloc {
namespace {
bool counting = false;
long allocations = 0;

void Note() {
  if (counting) ++allocations;
}

// The C allocator without counting it a second time.
void* RawMalloc(std::size_t size) {
#if defined(PELLIX_WRAP_MALLOC)
  return __real_malloc(size == 0 ? 1 : size);
#else
  return std::malloc(size == 0 ? 1 : size);
#endif
}

void* Allocate(std::size_t size) {
  Note();
  if (void* p = RawMalloc(size)) return p;
  throw std::bad_alloc();
}
}  // namespace

void StartCounting() {
  allocations = 0;
  counting = true;
}

long StopCounting() {
  counting = false;
  return allocations;
}

}  // namespace pellix::alloc

// The replaced global allocation functions. Aligned forms are not replaced: nothing in the
// plug-in over-aligns.
void* operator new(std::size_t size) { return pellix::alloc::Allocate(size); }
void* operator new[](std::size_t size) { return pellix::alloc::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  pellix::alloc::Note();
  return pellix::alloc::RawMalloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  pellix::alloc::Note();
  return pellix::alloc::RawMalloc(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

#if defined(PELLIX_WRAP_MALLOC)
// The C allocators, reached through the linker's --wrap: every call in the linked objects
// (the plug-in's code included) comes here first.
extern "C" {
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* p, std::size_t size);
void* __wrap_malloc(std::size_t size) {
  pellix::alloc::Note();
  return __real_malloc(size);
}
void* __wrap_calloc(std::size_t count, std::size_t size) {
  pellix::alloc::Note();
  return __real_calloc(count, size);
}
void* __wrap_realloc(void* p, std::size_t size) {
  pellix::alloc::Note();
  return __real_realloc(p, size);
}
}
#endif
