// The operator's confirmation of bus, address and serial before the EEPROM is written.
#pragma once

#include "serial_sources.h"

// Asks until the operator answers "y", letting "n" re-enter the three values. False when the
// input ended (reported with perror and "fgets error!").
bool confirmSettings(EepromSettings &settings);

// Reads one line of at most size - 1 characters without its line break; false at the end of
// input or on a read error (reported).
bool readAnswer(std::string &line, int size);
