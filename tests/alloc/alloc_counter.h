// Counts heap allocations made while counting is on: every global operator new of the test
// binary, and every call of malloc, calloc and realloc in it (wrapped at link time).
#pragma once

namespace pellix::alloc {

void StartCounting();
// Stops and returns the allocations made since StartCounting.
long StopCounting();

}  // namespace pellix::alloc
