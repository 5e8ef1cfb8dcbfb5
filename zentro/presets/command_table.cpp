// The table of preset command keys and the functions that run them.
#include <string>
#include <unordered_map>

#include "presets/arguments.h"
#include "presets/commands.h"

namespace zentro::presets {

namespace {

struct CommandRow {
    const char *key;
    CommandFunction function; // nullptr: accepted, does nothing
};

// Keys of older presets that are accepted without effect: STATE, the far MCU and SFR forms,
// and the empty key.
const CommandRow kCommands[] = {
    {"LOAD", loadCommand},
    {"REG", regCommand},
    {"REG_BURST", regBurstCommand},
    {"VAR", varCommand},
    {"VAR8", var8Command},
    {"VAR32", var32Command},
    {"SFR", sfrCommand},
    {"SFR8", sfr8Command},
    {"MEM", memCommand},
    {"MEM8", mem8Command},
    {"MEM32", mem32Command},
    {"IND", indCommand},
    {"FIELD_WR", fieldWrCommand},
    {"BITFIELD", bitfieldCommand},
    {"STATE", nullptr},
    {"DELAY", delayCommand},
    {"SERIAL_REG", serialRegCommand},
    {"I2C_REG", serialRegCommand},
    {"SERIAL_BITFIELD", serialBitfieldCommand},
    {"SERIAL_BURST", serialBurstCommand},
    {"POLL_REG", pollRegCommand},
    {"POLLREG", pollRegCommand},
    {"POLL_VAR", pollVarCommand},
    {"IF_REG", ifRegCommand},
    {"IFREG", ifRegCommand},
    {"IMAGE", imageCommand},
    {"IF_FIELD", ifFieldCommand},
    {"POLL_FIELD", pollFieldCommand},
    {"SENSOR_BASE", sensorBaseCommand},
    {"FAR1", far1Command},
    {"FAR1_REG", far1Command},
    {"FAR1_VAR", nullptr},
    {"FAR1_VAR8", nullptr},
    {"FAR1_SFR", nullptr},
    {"FAR1_SFR8", nullptr},
    {"FAR2", far2Command},
    {"FAR2_REG", far2Command},
    {"FAR2_VAR", nullptr},
    {"FAR2_VAR8", nullptr},
    {"FAR2_SFR", nullptr},
    {"FAR2_SFR8", nullptr},
    {"LOAD_PROM", loadPromCommand},
    {"ERROR_IF", errorIfCommand},
    {"XMCLK", xmclkCommand},
    {"SAVE_IMAGE", saveImageCommand},
    {"SAVE_REGS", saveRegsCommand},
    {"DATATYPE", dataTypeCommand},
    {"IF_SERIAL", ifSerialCommand},
    {"MODE", modeCommand},
    {"SDAT", sdatCommand},
    {"XSDAT", sdatCommand},
    {"LOG", logCommand},
};

// Keys in upper case: presets of thousands of lines look every key up.
const std::unordered_map<std::string, CommandFunction> &commandIndex()
{
    static const std::unordered_map<std::string, CommandFunction> index = [] {
        std::unordered_map<std::string, CommandFunction> built;
        for (const CommandRow &row : kCommands)
            built.emplace(row.key, row.function);
        return built;
    }();
    return index;
}

} // namespace

CommandFunction findCommand(std::string_view key)
{
    if (key.size() > kMaxTokenLength)
        return nullptr;
    const auto found = commandIndex().find(upperCase(key));
    return found == commandIndex().end() ? nullptr : found->second;
}

} // namespace zentro::presets
