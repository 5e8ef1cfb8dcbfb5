// Reading a data file whole.
#include "sensor_data/data_file.h"

#include <cstdio>

#include "core/log.h"
#include "osal/handles.h"
#include "zentro_osal.h"

namespace zentro {

namespace {

// No sensor-data, chip or board file comes near this; a bigger one is not one of them.
constexpr size_t kMaxFileBytes = 256u * 1024 * 1024;
constexpr size_t kReadChunkBytes = 64 * 1024;

} // namespace

int readDataFile(const char *path, std::string &text)
{
    UniqueFile file(osal_fopen(path, "rb"));
    if (!file)
        return ZE_ERRORLOGF(PARSE_FILE_ERROR, "unable to open file %s", path);
    text.clear();
    char chunk[kReadChunkBytes];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
        if (text.size() + got > kMaxFileBytes)
            return ZE_ERRORLOGF(PARSE_FILE_ERROR, "file %s is larger than %zu bytes", path,
                                kMaxFileBytes);
        text.append(chunk, got);
    }
    if (ferror(file.get()))
        return ZE_ERRORLOGF(PARSE_FILE_ERROR, "unable to read file %s", path);
    return PARSE_SUCCESS;
}

} // namespace zentro
