// Names of numbered result files: the next free "<stem>NNNN.<extension>" for a file name.
#ifndef ZENTRO_OSAL_NUMBERED_FILE_H
#define ZENTRO_OSAL_NUMBERED_FILE_H

#include <cstddef>
#include <functional>
#include <string>

namespace zentro {

// Highest number a numbered file name carries.
constexpr int kMaxFileNumber = 9999;

// @name with @number (clamped to 0..kMaxFileNumber) in four digits before its extension:
// "shot.raw" and 7 give "shot0007.raw". The extension is taken from the last path
// component only; a name without one gets none ("shot" gives "shot0007").
std::string numberedCandidate(const std::string &name, int number);

// The next free numbered name for @name, probing existence with @exists. A name longer
// than @nameBufferSize - 5 characters is returned unnumbered.
std::string numberedFileName(const std::string &name, size_t nameBufferSize,
                             const std::function<bool(const std::string &)> &exists);

// numberedFileName() probing the file system.
std::string numberedFileName(const std::string &name, size_t nameBufferSize);

} // namespace zentro

#endif // ZENTRO_OSAL_NUMBERED_FILE_H
