// The built-in preset commands, one function each, grouped by the file that holds them.
#ifndef ZENTRO_PRESETS_COMMANDS_H
#define ZENTRO_PRESETS_COMMANDS_H

#include <string_view>

#include "presets/section_run.h"

namespace zentro::presets {

using CommandFunction = Flow (*)(SectionRun &run, std::string_view value);

// nesting_commands.cpp
Flow loadCommand(SectionRun &run, std::string_view value);
Flow loadPromCommand(SectionRun &run, std::string_view value);
Flow ifRegCommand(SectionRun &run, std::string_view value);
Flow ifFieldCommand(SectionRun &run, std::string_view value);
Flow ifSerialCommand(SectionRun &run, std::string_view value);
Flow errorIfCommand(SectionRun &run, std::string_view value);

// register_commands.cpp
Flow regCommand(SectionRun &run, std::string_view value);
Flow regBurstCommand(SectionRun &run, std::string_view value);
Flow bitfieldCommand(SectionRun &run, std::string_view value);
Flow varCommand(SectionRun &run, std::string_view value);
Flow var8Command(SectionRun &run, std::string_view value);
Flow var32Command(SectionRun &run, std::string_view value);
Flow sfrCommand(SectionRun &run, std::string_view value);
Flow sfr8Command(SectionRun &run, std::string_view value);
Flow memCommand(SectionRun &run, std::string_view value);
Flow mem8Command(SectionRun &run, std::string_view value);
Flow mem32Command(SectionRun &run, std::string_view value);
Flow indCommand(SectionRun &run, std::string_view value);
Flow far1Command(SectionRun &run, std::string_view value);
Flow far2Command(SectionRun &run, std::string_view value);
Flow fieldWrCommand(SectionRun &run, std::string_view value);

// serial_commands.cpp
Flow serialRegCommand(SectionRun &run, std::string_view value);
Flow serialBitfieldCommand(SectionRun &run, std::string_view value);
Flow serialBurstCommand(SectionRun &run, std::string_view value);

// poll_commands.cpp
Flow pollRegCommand(SectionRun &run, std::string_view value);
Flow pollVarCommand(SectionRun &run, std::string_view value);
Flow pollFieldCommand(SectionRun &run, std::string_view value);
Flow delayCommand(SectionRun &run, std::string_view value);

// setting_commands.cpp
Flow xmclkCommand(SectionRun &run, std::string_view value);
Flow modeCommand(SectionRun &run, std::string_view value);
Flow sensorBaseCommand(SectionRun &run, std::string_view value);
Flow dataTypeCommand(SectionRun &run, std::string_view value);
Flow sdatCommand(SectionRun &run, std::string_view value);
Flow logCommand(SectionRun &run, std::string_view value);

// image_commands.cpp
Flow imageCommand(SectionRun &run, std::string_view value);
Flow saveImageCommand(SectionRun &run, std::string_view value);

// register_dump.cpp
Flow saveRegsCommand(SectionRun &run, std::string_view value);

// The function for a command key (compared case-insensitively), or nullptr for keys that are
// accepted and do nothing (unknown keys among them).
CommandFunction findCommand(std::string_view key);

} // namespace zentro::presets

#endif // ZENTRO_PRESETS_COMMANDS_H
