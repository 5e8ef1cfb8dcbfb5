// Where the library's own file lies, for finding data installed beside it.
#ifndef ZENTRO_OSAL_MODULE_PATH_H
#define ZENTRO_OSAL_MODULE_PATH_H

#include <string>

namespace zentro {

// The path of the shared object (or program) that holds this library's code;
// empty when the loader cannot tell.
std::string libraryFilePath();

} // namespace zentro

#endif // ZENTRO_OSAL_MODULE_PATH_H
