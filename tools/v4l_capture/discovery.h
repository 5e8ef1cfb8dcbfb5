// Finding which sensor of the table answers on the camera link, and the bus check.
#pragma once

#include <cstdint>

struct SensorEntry;

struct DetectedSensor {
    uint8_t index;
    uint8_t i2cAddress;
};

// Tries each table entry in order; the first whose chip id matches is detected and gets the
// embedded-data rows added to its height. Ends the program with "Sensor not detected" when
// none answers.
DetectedSensor discoverSensor(unsigned metaRows, unsigned statsRows);

// Diagnostic reads and writes on the sensor's bus, printed on the error stream.
void busCheck(const SensorEntry &sensor);
