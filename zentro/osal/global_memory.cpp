// Named global memory blocks of the OS layer; on this system a block is its own handle.
#include "zentro_osal.h"

#include <cstdlib>

extern "C" {

ZE_API void *osal_alloc_global(const char *name, size_t size, void **handle)
{
    if (!name || !*name)
        return nullptr;
    // At least one byte, so that an empty block is still a distinct handle.
    void *block = calloc(size ? size : 1, 1);
    if (block && handle)
        *handle = block;
    return block;
}

ZE_API void osal_free_global(void * /*handle*/, void *block)
{
    free(block);
}

} // extern "C"
