// Configuration of the detected sensor: reset, link chips, driver tables, mode list, format.
#pragma once

#include "options.h"

struct SensorEntry;

// Brings the sensor up for capture on settings.device.
void configureSensor(const SensorEntry &sensor, const CaptureSettings &settings);

// The new values of the embedded-data control registers 0x3040 and 0x3064 for the row counts.
uint16_t embeddedControl3040(uint16_t old, unsigned metaRows, unsigned statsRows);
uint16_t embeddedControl3064(uint16_t old, unsigned metaRows, unsigned statsRows);
