// Loading shared libraries and finding their symbols.
#include "osal/shared_library.h"

#include <dlfcn.h>

#include "zentro_osal.h"

namespace zentro {

void LibraryUnloader::operator()(void *handle) const
{
    osal_FreeLibrary(handle);
}

UniqueLibrary loadLibrary(const char *path, std::string &error)
{
    // Clears a reason left over from an earlier failure in this thread.
    dlerror();
    UniqueLibrary library(osal_LoadLibrary(path, nullptr));
    if (!library) {
        const char *reason = dlerror();
        error = reason ? reason : "the library cannot be loaded";
    }
    return library;
}

void *librarySymbol(const UniqueLibrary &library, const char *name)
{
    return osal_GetProcAddress(library.get(), name);
}

} // namespace zentro

extern "C" {

ZE_API void *osal_LoadLibrary(const char *path, int *disallowed)
{
    if (disallowed)
        *disallowed = 0;
    // dlopen(NULL) would hand out the main program instead of failing.
    if (!path)
        return nullptr;
    // Never RTLD_DEEPBIND: a plug-in must see the interposed system calls the process sees.
    return dlopen(path, RTLD_LAZY);
}

ZE_API int osal_FreeLibrary(void *handle)
{
    return handle ? dlclose(handle) : -1;
}

ZE_API void *osal_GetProcAddress(void *handle, const char *name)
{
    // A NULL handle would search the whole process (RTLD_DEFAULT), not a library.
    if (!handle || !name)
        return nullptr;
    return dlsym(handle, name);
}

} // extern "C"
