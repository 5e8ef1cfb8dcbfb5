// Copies to and from the application's memory that fail on a bad address, as the kernel's do.
#pragma once

#include <cstddef>

namespace boardsim {

// True when all count bytes were copied; false when an address was bad.
bool copyToApplication(void *dst, const void *src, size_t count);
bool copyFromApplication(void *dst, const void *src, size_t count);

} // namespace boardsim
