// The table of result codes with their levels, messages and symbols, and its lookups.
#include "zentro_errors.h"

#include <array>
#include <iterator>

namespace {

// Rows in table order; the last row answers every code that is not listed.
constexpr std::array kErrorTable = std::to_array<ze_error_entry_t>({
    {CAMERA_SUCCESS, 0, "Success", "CAMERA_SUCCESS"},
    {CAMERA_ERROR, 1, "Camera Error", "CAMERA_ERROR"},
    {GRAB_FRAME_ERROR, 1, "Grab Frame Error", "GRAB_FRAME_ERROR"},
    {NOT_ENOUGH_DATA_ERROR, 2, "Not Enough Data", "NOT_ENOUGH_DATA_ERROR"},
    {EOF_MARKER_ERROR, 1, "EOF Marker Error", "EOF_MARKER_ERROR"},
    {BUFFER_SIZE_ERROR, 1, "Buffer Size Error", "BUFFER_SIZE_ERROR"},
    {SENSOR_NOT_INITIALIZED, 1, "Sensor Not Initialized", "SENSOR_NOT_INITIALIZED"},
    {SENSOR_FILE_PARSE_ERROR, 1, "Sensor File Parse Error", "SENSOR_FILE_PARSE_ERROR"},
    {SENSOR_DOES_NOT_MATCH, 2, "Sensor Does Not Match", "SENSOR_DOES_NOT_MATCH"},
    {SENSOR_NOT_SUPPORTED, 1, "Sensor Not Supported", "SENSOR_NOT_SUPPORTED"},
    {I2C_BIT_ERROR, 1, "I2C Error", "I2C_BIT_ERROR"},
    {I2C_NACK_ERROR, 1, "I2C Nack", "I2C_NACK_ERROR"},
    {I2C_TIMEOUT, 1, "I2C Timeout", "I2C_TIMEOUT"},
    {CAMERA_TIMEOUT, 1, "Camera Timeout", "CAMERA_TIMEOUT"},
    {TOO_MUCH_DATA_ERROR, 2, "Too Much Data", "TOO_MUCH_DATA_ERROR"},
    {CAMERA_NOT_SUPPORTED, 1, "Camera Not Supported", "CAMERA_NOT_SUPPORTED"},
    {CRC_ERROR, 1, "Command/response CRC error", "CRC_ERROR"},
    {I2C_DEVICE_OFF, 1, "Sensor Is Off/Reset", "I2C_DEVICE_OFF"},
    {PARSE_SUCCESS, 0, "Parse Success", "PARSE_SUCCESS"},
    {DUPLICATE_DESC_ERROR, 1, "Duplicate Descriptor Error", "DUPLICATE_DESC_ERROR"},
    {PARSE_FILE_ERROR, 1, "Parse File Error", "PARSE_FILE_ERROR"},
    {PARSE_REG_ERROR, 1, "Parse Reg Error", "PARSE_REG_ERROR"},
    {UKNOWN_SECTION_ERROR, 1, "Unknown Section Error", "UKNOWN_SECTION_ERROR"},
    {CHIP_DESC_ERROR, 1, "Chip Desc. Error", "CHIP_DESC_ERROR"},
    {PARSE_ADDR_SPACE_ERROR, 1, "Parse Addr Space Error", "PARSE_ADDR_SPACE_ERROR"},
    {INI_SUCCESS, 0, "INI Success", "INI_SUCCESS"},
    {INI_KEY_NOT_SUPPORTED, 2, "Key Not Supported - ignored", "INI_KEY_NOT_SUPPORTED"},
    {INI_LOAD_ERROR, 1, "Error loading INI File", "INI_LOAD_ERROR"},
    {INI_POLLREG_TIMEOUT, 2, "Time Out in POLLREG Command", "INI_POLLREG_TIMEOUT"},
    {UNKNOWN_ERROR, 1, "Unknown Error", "UNKNOWN_ERROR"},
});

const ze_error_entry_t &findEntry(int code)
{
    const ze_error_entry_t &unknown = kErrorTable.back();
    if (code < 0)
        return unknown;
    for (const ze_error_entry_t &entry : kErrorTable) {
        if (entry.code == code)
            return entry;
    }
    return unknown;
}

} // namespace

extern "C" {

ZE_API const ze_error_entry_t *ze_getErrorMsg(int code)
{
    return &findEntry(code);
}

ZE_API const char *ze_getErrorMessage(int code)
{
    return findEntry(code).message;
}

ZE_API const char *ze_getErrorSymbol(int code)
{
    return findEntry(code).symbol;
}

ZE_API uint32_t ze_getErrorLevel(int code)
{
    return findEntry(code).level;
}

} // extern "C"
