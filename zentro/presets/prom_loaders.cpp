// Applying the calibration records of a head board's PROM to the sensor: lens-shading and
// colour-correction register writes, and the scratch-pad image copied by the sensor's DMA.
#include <algorithm>
#include <new>
#include <vector>

#include "presets/arguments.h"
#include "presets/limits.h"
#include "presets/prom.h"
#include "presets/register_values.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

enum SubRecordType : uint8_t {
    kGenericWrite = 2,
    kSensorRegisterWrite = 3,
    kMcuVariableWrite = 4,
};
constexpr uint32_t kRegisterEntrySize = 4;
constexpr uint32_t kGenericEntrySize = 18;

// MCU variable entries: b0 holds the driver and the offset's top bits, bit 7 a byte size.
constexpr uint32_t kMcuDriverShift = 2;
constexpr uint32_t kMcuDriverMask = 31;
constexpr uint32_t kMcuOffsetHighMask = 3;
constexpr uint8_t kMcuByteFlag = 0x80;

// Scratch-pad images: where the processor's memory window starts, and the DMA engine.
constexpr uint32_t kScratchpadBaseReg = 0xF02C;
constexpr uint32_t kProcessorWindow = 0xA000;
constexpr uint32_t kScratchpadFixedSize = 13; // name and destination offset
constexpr uint32_t kDmaChunk = 4096;
constexpr uint32_t kDmaSourceFromProm = 0x3000000;
constexpr uint32_t kDmaStart = 0x2132;
constexpr uint32_t kDmaBusyBits = 0x3;
constexpr uint32_t kDmaPollMs = 5;
constexpr uint32_t kDmaMaxPolls = 1000;

uint32_t bigEndian(const uint8_t *bytes, size_t count)
{
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

void writeSensorRegisterEntry(ze_camera_t *camera, const uint8_t *entry, uint32_t &page)
{
    const ze_sensor_t &sensor = *camera->sensor;
    uint32_t addr;
    if (sensor.regAddrSize == 8) {
        page = entry[0];
        addr = entry[1];
    } else {
        addr = bigEndian(entry, 2);
    }
    if (sensor.regDataSize == 8) {
        uint32_t values[2] = {entry[2], entry[3]};
        ze_writeSensorRegisters(camera, page, addr, 2, values);
        ze_InvalidateRegCacheReg(camera, ze_FindRegisterAddr(camera, addr + 1, page, ZE_SPACE_REG));
    } else {
        uint32_t value = bigEndian(entry + 2, 2);
        ze_writeSensorRegisters(camera, page, addr, 1, &value);
    }
    ze_InvalidateRegCacheReg(camera, ze_FindRegisterAddr(camera, addr, page, ZE_SPACE_REG));
}

void writeMcuVariableEntry(ze_camera_t *camera, const uint8_t *entry)
{
    const uint32_t driver = (uint32_t(entry[0]) >> kMcuDriverShift) & kMcuDriverMask;
    const uint32_t offset = ((uint32_t(entry[0]) & kMcuOffsetHighMask) << 8) | entry[1];
    const bool oneByte = (entry[0] & kMcuByteFlag) != 0;
    const uint32_t value = bigEndian(entry + 2, 2);
    ze_WriteSensorRegAddr(camera, ZE_SPACE_MCU, driver, offset, oneByte ? 1 : 2,
                          oneByte ? value & 0xFF : value);
}

void writeGenericEntry(ze_camera_t *camera, const uint8_t *entry)
{
    const RegisterAddress where{entry[0], bigEndian(entry + 1, 4), bigEndian(entry + 5, 4)};
    const uint32_t bytes = entry[9];
    const uint32_t mask = bigEndian(entry + 10, 4);
    const uint32_t value = bigEndian(entry + 14, 4);
    if (mask == 0)
        ze_WriteSensorRegAddr(camera, where.space, where.page, where.addr, bytes, value);
    else
        writeMasked(camera, where, bytes, mask, value);
}

// Applies the sub-records in @payload from the end of the record name on; whole entries only.
void applySubRecords(ze_camera_t *camera, const std::vector<uint8_t> &payload)
{
    uint32_t page = 0;
    size_t at = kPromRecordNameSize;
    while (at + kPromRecordHeaderSize <= payload.size()) {
        const uint8_t type = payload[at];
        const size_t length = std::min<size_t>(bigEndian(&payload[at + 1], 2),
                                               payload.size() - at - kPromRecordHeaderSize);
        const uint8_t *data = &payload[at + kPromRecordHeaderSize];
        if (type == kSensorRegisterWrite) {
            for (size_t i = 0; i + kRegisterEntrySize <= length; i += kRegisterEntrySize)
                writeSensorRegisterEntry(camera, data + i, page);
        } else if (type == kMcuVariableWrite) {
            for (size_t i = 0; i + kRegisterEntrySize <= length; i += kRegisterEntrySize)
                writeMcuVariableEntry(camera, data + i);
        } else if (type == kGenericWrite) {
            for (size_t i = 0; i + kGenericEntrySize <= length; i += kGenericEntrySize)
                writeGenericEntry(camera, data + i);
        }
        at += kPromRecordHeaderSize + length;
    }
}

int loadCalibration(ze_camera_t *camera, uint32_t address, const char *name, uint8_t type)
{
    if (!camera || !camera->sensor)
        return INI_LOAD_ERROR;
    const std::optional<PromRecord> record = findPromRecord(camera, address, type, name);
    if (!record)
        return INI_LOAD_ERROR;
    std::vector<uint8_t> payload;
    if (readPromBytes(camera, address, record->offset + kPromRecordHeaderSize, record->length,
                      payload) != CAMERA_SUCCESS)
        return INI_LOAD_ERROR;
    if (payload.size() > kPromRecordNameSize)
        applySubRecords(camera, payload);
    return INI_SUCCESS;
}

// Waits until the DMA engine has finished; CAMERA_TIMEOUT when it never does.
int waitForDma(ze_camera_t *camera)
{
    const uint32_t sleepMs = std::min(kDmaPollMs, presetLimits().maxWaitMs);
    CacheModeScope cache(camera, 0);
    for (uint32_t poll = 0; poll < kDmaMaxPolls; ++poll) {
        uint32_t control = 0;
        const int result = ze_ReadSensorRegStr(camera, "DMA_CTRL", nullptr, &control);
        if (result != CAMERA_SUCCESS)
            return result;
        if ((control & kDmaBusyBits) == 0)
            return CAMERA_SUCCESS;
        if (sleepMs > 0)
            osal_sleep(sleepMs);
    }
    return CAMERA_TIMEOUT;
}

int copyChunk(ze_camera_t *camera, uint32_t source, uint32_t destination, uint32_t size)
{
    const struct {
        const char *name;
        uint32_t value;
    } writes[] = {
        {"DMA_SRC", source}, {"DMA_DST", destination}, {"DMA_SIZE", size}, {"DMA_CTRL", kDmaStart}};
    for (const auto &write : writes) {
        const int result = ze_WriteSensorRegStr(camera, write.name, nullptr, write.value);
        if (result != CAMERA_SUCCESS)
            return result;
    }
    return waitForDma(camera);
}

int loadScratchpad(ze_camera_t *camera, uint32_t address, const char *name, uint32_t base)
{
    if (!camera || !camera->sensor)
        return INI_LOAD_ERROR;
    const std::optional<PromRecord> record = findPromRecord(camera, address, kPromScratchpad, name);
    if (!record || record->length < kScratchpadFixedSize)
        return INI_LOAD_ERROR;
    const uint32_t payload = record->offset + kPromRecordHeaderSize;
    std::vector<uint8_t> stored;
    if (readPromBytes(camera, address, payload + kPromRecordNameSize, 4, stored) !=
            CAMERA_SUCCESS ||
        bigEndian(stored.data(), 4) != base)
        return INI_LOAD_ERROR;
    uint32_t window = 0;
    int result = ze_ReadSensorRegAddr(camera, ZE_SPACE_REG, 0, kScratchpadBaseReg, 2, &window);
    if (result != CAMERA_SUCCESS)
        return result;
    uint32_t destination = window - kProcessorWindow + base;
    uint32_t source = payload + kScratchpadFixedSize;
    uint32_t left = record->length - kScratchpadFixedSize;
    while (left > 0) {
        const uint32_t chunk = std::min(left, kDmaChunk);
        result =
            copyChunk(camera, (address << 16) | kDmaSourceFromProm | source, destination, chunk);
        if (result != CAMERA_SUCCESS)
            return result;
        source += chunk;
        destination += chunk;
        left -= chunk;
    }
    return INI_SUCCESS;
}

} // namespace

} // namespace zentro::presets

extern "C" {

ZE_API int ze_LoadPromLensCalibration(ze_camera_t *camera, uint32_t address, const char *name)
{
    try {
        return zentro::presets::loadCalibration(camera, address, name,
                                                zentro::presets::kPromLensCalibration);
    } catch (const std::bad_alloc &) {
        return INI_LOAD_ERROR;
    }
}

ZE_API int ze_LoadPromColorCorrection(ze_camera_t *camera, uint32_t address, const char *name)
{
    try {
        return zentro::presets::loadCalibration(camera, address, name,
                                                zentro::presets::kPromColorCorrection);
    } catch (const std::bad_alloc &) {
        return INI_LOAD_ERROR;
    }
}

ZE_API int ze_LoadPromScratchpad(ze_camera_t *camera, uint32_t address, const char *name,
                                 uint32_t base)
{
    try {
        return zentro::presets::loadScratchpad(camera, address, name, base);
    } catch (const std::bad_alloc &) {
        return INI_LOAD_ERROR;
    }
}

} // extern "C"
