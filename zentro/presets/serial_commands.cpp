// Preset commands that write any device on the serial bus: SERIAL_REG, SERIAL_BITFIELD and
// SERIAL_BURST; and the transfer sizes they share with IF_SERIAL.
#include "presets/serial_access.h"

#include <cstdio>
#include <string>
#include <vector>

#include "presets/arguments.h"
#include "presets/commands.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

constexpr size_t kMaxBurstBytes = 256;
constexpr uint32_t kByteMask = 0xFF;

// The sizes of an optional "addrbits:databits" argument at @index (the defaults without it).
SerialSizes sizesArgument(const std::vector<std::string> &tokens, size_t index)
{
    if (tokens.size() > index) {
        if (const std::optional<SerialSizes> sizes = parseSerialSizes(tokens[index]))
            return *sizes;
    }
    return {};
}

} // namespace

std::optional<SerialSizes> parseSerialSizes(std::string_view text)
{
    if (text.find(':') == std::string_view::npos)
        return std::nullopt;
    const std::string owned(text);
    int addrBits = 0;
    int dataBits = 0;
    if (sscanf(owned.c_str(), "%i:%i", &addrBits, &dataBits) != 2)
        return std::nullopt;
    return SerialSizes{static_cast<uint32_t>(addrBits), static_cast<uint32_t>(dataBits)};
}

void useSerialSizes(ze_camera_t *camera, SerialSizes sizes)
{
    ze_setMode(camera, ZE_REG_ADDR_SIZE, sizes.addrBits);
    ze_setMode(camera, ZE_REG_DATA_SIZE, sizes.dataBits);
    ze_setMode(camera, ZE_REG_DATA_LE, 0);
}

Flow serialRegCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || tokens->size() < 3) {
        reportError(run, "Error parsing SERIAL_REG command");
        return Flow::Continue;
    }
    useSerialSizes(run.camera, sizesArgument(*tokens, 3));
    ze_writeRegister(run.camera, toNumber((*tokens)[0]), toNumber((*tokens)[1]),
                     toNumber((*tokens)[2]));
    return Flow::Continue;
}

Flow serialBitfieldCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || tokens->size() < 4) {
        reportError(run, "Error parsing SERIAL_BITFIELD command");
        return Flow::Continue;
    }
    const uint32_t mask = toNumber((*tokens)[2]);
    if (mask == 0) {
        reportError(run, "Mask = 0 in SERIAL_BITFIELD command");
        return Flow::Continue;
    }
    useSerialSizes(run.camera, sizesArgument(*tokens, 4));
    const uint32_t busAddr = toNumber((*tokens)[0]);
    const uint32_t regAddr = toNumber((*tokens)[1]);
    uint32_t old = 0;
    const int read = ze_readRegister(run.camera, busAddr, regAddr, &old);
    // A CRC error still delivers the value; any other failure leaves nothing to modify.
    if (read != CAMERA_SUCCESS && read != CRC_ERROR)
        return Flow::Continue;
    const uint32_t field = (toNumber((*tokens)[3]) << lowestBit(mask)) & mask;
    ze_writeRegister(run.camera, busAddr, regAddr, (old & ~mask) | field);
    return Flow::Continue;
}

Flow serialBurstCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || tokens->empty() || (*tokens)[0].empty()) {
        reportError(run, "Error parsing SERIAL_BURST command");
        return Flow::Continue;
    }
    std::vector<uint32_t> bytes;
    for (size_t i = 1; i < tokens->size() && bytes.size() < kMaxBurstBytes; ++i)
        bytes.push_back(toNumber((*tokens)[i]) & kByteMask);
    // "SERIAL_BURST = 0x42," leaves one empty token: that is no data either.
    if (bytes.empty() || (tokens->size() == 2 && (*tokens)[1].empty())) {
        reportError(run, "Need at least one byte of data in SERIAL_BURST command");
        return Flow::Continue;
    }
    useSerialSizes(run.camera, {0, 8});
    ze_writeRegisters(run.camera, toNumber((*tokens)[0]), 0, static_cast<uint32_t>(bytes.size()),
                      bytes.data());
    return Flow::Continue;
}

} // namespace zentro::presets
