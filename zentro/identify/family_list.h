// The family list: part numbers with their sensor family and features ("familyList.txt").
#ifndef ZENTRO_IDENTIFY_FAMILY_LIST_H
#define ZENTRO_IDENTIFY_FAMILY_LIST_H

#include <string>

#include "zentro_sensor.h"

namespace zentro {

// Where the family list lies: "familyList.txt" in "bin" below the library's home.
std::string familyListPath();
// Copies the family name and features of @sensor's part number from the family list at
// @path into the record; a later line for the same part number overrides an earlier one.
// False (logged at debug level) when the file is missing, when a malformed line stops the
// reading, or when no line names the part number; the record's family name and features
// are then empty.
bool lookUpFamily(ze_sensor_t *sensor, const std::string &path);

} // namespace zentro

#endif // ZENTRO_IDENTIFY_FAMILY_LIST_H
