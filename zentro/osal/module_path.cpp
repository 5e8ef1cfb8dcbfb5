// Where the library's own file lies, for finding data installed beside it.
#include "osal/module_path.h"

#include <dlfcn.h>

#include <vector>

#include "zentro_osal.h"

namespace zentro {

std::string libraryFilePath()
{
    Dl_info info{};
    // Any function of this library identifies the object it was loaded from.
    if (dladdr(reinterpret_cast<const void *>(&libraryFilePath), &info) == 0 || !info.dli_fname)
        return {};
    // The loader reports the name it was given, which may be relative to a
    // working directory that has changed since.
    std::vector<char> canonical(OSAL_MAX_PATH);
    if (osal_fullpath(info.dli_fname, canonical.data(), canonical.size()) == 1)
        return canonical.data();
    return info.dli_fname;
}

} // namespace zentro
