// The unique owner of one load of a shared library.
#ifndef ZENTRO_OSAL_SHARED_LIBRARY_H
#define ZENTRO_OSAL_SHARED_LIBRARY_H

#include <memory>
#include <string>

namespace zentro {

// Releases one load of a library (the loader unmaps it when its last load goes).
struct LibraryUnloader {
    void operator()(void *handle) const;
};
using UniqueLibrary = std::unique_ptr<void, LibraryUnloader>;

// Loads @path with lazy symbol binding. On failure returns nothing and sets @error to the
// dynamic loader's reason.
UniqueLibrary loadLibrary(const char *path, std::string &error);

// The address of the symbol @name in @library, or nullptr.
void *librarySymbol(const UniqueLibrary &library, const char *name);

} // namespace zentro

#endif // ZENTRO_OSAL_SHARED_LIBRARY_H
