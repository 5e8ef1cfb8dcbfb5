// Reading a data file whole: the sensor-data, chip and board readers work on text in memory.
#ifndef ZENTRO_SENSOR_DATA_DATA_FILE_H
#define ZENTRO_SENSOR_DATA_DATA_FILE_H

#include <string>

namespace zentro {

// Reads the whole file @path into @text. Returns PARSE_SUCCESS, or PARSE_FILE_ERROR (logged)
// when it cannot be opened or read or is implausibly large for a data file.
int readDataFile(const char *path, std::string &text);

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_DATA_FILE_H
