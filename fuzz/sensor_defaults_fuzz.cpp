// Fuzz target: the register defaults read from a text sensor-data file.
#include "sensor_data_defaults.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    boardsim::parseSensorDefaults(std::string(reinterpret_cast<const char *>(data), size));
    return 0;
}
