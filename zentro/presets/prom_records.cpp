// The calibration PROM of a head board: reading its bytes, finding its records and the
// identification texts they hold.
#include "presets/prom.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "identify/headboard_id.h"
#include "presets/arguments.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

constexpr char kPromMagic[] = "ZEEE";
constexpr uint32_t kPromMagicSize = 4;
// The magic and one byte read with it.
constexpr uint32_t kPromHeaderSize = 5;
constexpr uint32_t kMaxPromRecords = 1000;
// PROMs are addressed with 16 bits: no record lies beyond.
constexpr uint32_t kPromAddressLimit = 0x10000;
// Sensors whose PROM sits behind the sensor's own serial-bus master.
constexpr uint32_t kFarPromSensorTypes[] = {71, 103, 111};
// Bytes asked of the bus in one transfer.
constexpr uint32_t kPromChunk = 256;

bool promBehindSensor(ze_camera_t *camera)
{
    if (!camera->sensor)
        return false;
    return std::find(std::begin(kFarPromSensorTypes), std::end(kFarPromSensorTypes),
                     camera->sensor->sensorType) != std::end(kFarPromSensorTypes);
}

// Sets the transfer sizes of the calling thread for the scope and restores them after: a PROM
// read in the middle of identification must not change how later reads are made.
class TransferSizesScope
{
public:
    TransferSizesScope(ze_camera_t *camera, uint32_t addrBits, uint32_t dataBits) : camera_(camera)
    {
        for (size_t i = 0; i < kModes.size(); ++i)
            ze_getMode(camera_, kModes[i], &saved_[i]);
        ze_setMode(camera_, ZE_REG_ADDR_SIZE, addrBits);
        ze_setMode(camera_, ZE_REG_DATA_SIZE, dataBits);
        ze_setMode(camera_, ZE_REG_DATA_LE, 0);
    }
    ~TransferSizesScope()
    {
        for (size_t i = 0; i < kModes.size(); ++i)
            ze_setMode(camera_, kModes[i], saved_[i]);
    }
    TransferSizesScope(const TransferSizesScope &) = delete;
    TransferSizesScope &operator=(const TransferSizesScope &) = delete;

private:
    static constexpr std::array<uint32_t, 3> kModes = {ZE_REG_ADDR_SIZE, ZE_REG_DATA_SIZE,
                                                       ZE_REG_DATA_LE};
    ze_camera_t *camera_;
    std::array<uint32_t, 3> saved_ = {};
};

int readOnBus(ze_camera_t *camera, uint32_t address, uint32_t offset, uint32_t count,
              std::vector<uint8_t> &bytes)
{
    TransferSizesScope sizes(camera, 16, 8);
    std::vector<uint32_t> values(std::min(count, kPromChunk));
    for (uint32_t done = 0; done < count;) {
        const uint32_t chunk = std::min(count - done, kPromChunk);
        const int result = ze_readRegisters(camera, address, offset + done, chunk, values.data());
        if (result != CAMERA_SUCCESS)
            return result;
        for (uint32_t i = 0; i < chunk; ++i)
            bytes[done + i] = static_cast<uint8_t>(values[i]);
        done += chunk;
    }
    return CAMERA_SUCCESS;
}

// Through a temporary far register on the sensor's own bus master, two bytes per read.
int readBehindSensor(ze_camera_t *camera, uint32_t address, uint32_t offset, uint32_t count,
                     std::vector<uint8_t> &bytes)
{
    ze_addr_space_t space = {};
    space.type = ZE_SPACE_FAR1;
    space.farBase = address;
    space.farAddrSize = 16;
    space.farDataSize = 8;
    for (uint32_t done = 0; done < count;) {
        const bool pair = count - done >= 2;
        ze_reg_t reg = {};
        reg.addr = offset + done;
        reg.addrSpace = &space;
        reg.addrSpaceId = static_cast<uint32_t>(space.id);
        reg.span = pair ? 2 : 1;
        reg.mask = pair ? 0xFFFF : 0xFF;
        uint32_t value = 0;
        const int result = ze_ReadSensorReg(camera, &reg, &value);
        if (result != CAMERA_SUCCESS)
            return result;
        if (pair) {
            bytes[done++] = static_cast<uint8_t>(value >> 8);
            bytes[done++] = static_cast<uint8_t>(value);
        } else {
            bytes[done++] = static_cast<uint8_t>(value);
        }
    }
    return CAMERA_SUCCESS;
}

bool nameMatches(const std::vector<uint8_t> &stored, const char *wanted)
{
    const char *text = reinterpret_cast<const char *>(stored.data());
    const size_t length = strnlen(text, kPromRecordNameSize - 1);
    return equalsNoCase(std::string_view(text, length), wanted);
}

} // namespace

int readPromBytes(ze_camera_t *camera, uint32_t address, uint32_t offset, uint32_t count,
                  std::vector<uint8_t> &bytes)
{
    if (!camera)
        return CAMERA_ERROR;
    bytes.assign(count, 0);
    if (count == 0)
        return CAMERA_SUCCESS;
    return promBehindSensor(camera) ? readBehindSensor(camera, address, offset, count, bytes)
                                    : readOnBus(camera, address, offset, count, bytes);
}

std::optional<PromRecord> findPromRecord(ze_camera_t *camera, uint32_t address, uint8_t type,
                                         const char *name)
{
    std::vector<uint8_t> bytes;
    if (readPromBytes(camera, address, 0, kPromHeaderSize, bytes) != CAMERA_SUCCESS ||
        memcmp(bytes.data(), kPromMagic, kPromMagicSize) != 0)
        return std::nullopt;
    uint32_t offset = kPromHeaderSize;
    for (uint32_t examined = 0; examined < kMaxPromRecords; ++examined) {
        if (offset + kPromRecordHeaderSize > kPromAddressLimit ||
            readPromBytes(camera, address, offset, kPromRecordHeaderSize, bytes) != CAMERA_SUCCESS)
            return std::nullopt;
        const uint8_t recordType = bytes[0];
        const uint32_t length = (uint32_t(bytes[1]) << 8) | bytes[2];
        if (recordType == type) {
            if (!name)
                return PromRecord{offset, length};
            if (readPromBytes(camera, address, offset + kPromRecordHeaderSize, kPromRecordNameSize,
                              bytes) != CAMERA_SUCCESS)
                return std::nullopt;
            if (nameMatches(bytes, name))
                return PromRecord{offset, length};
        }
        if (recordType == kPromEndOfList)
            return std::nullopt;
        offset += kPromRecordHeaderSize + length;
    }
    return std::nullopt;
}

int readPromText(ze_camera_t *camera, uint32_t address, uint8_t type, char *text, uint32_t size)
{
    if (!text || size == 0)
        return CAMERA_ERROR;
    text[0] = '\0';
    try {
        const std::optional<PromRecord> record = findPromRecord(camera, address, type, nullptr);
        if (!record)
            return CAMERA_ERROR;
        std::vector<uint8_t> payload;
        const uint32_t wanted = std::min(record->length, size - 1);
        if (readPromBytes(camera, address, record->offset + kPromRecordHeaderSize, wanted,
                          payload) != CAMERA_SUCCESS)
            return CAMERA_ERROR;
        memcpy(text, payload.data(), wanted);
        text[wanted] = '\0';
        return CAMERA_SUCCESS;
    } catch (const std::bad_alloc &) {
        text[0] = '\0';
        return CAMERA_ERROR;
    }
}

namespace {

int headboardIdReader(ze_camera_t *camera, uint32_t address, char *text, uint32_t size)
{
    return readPromText(camera, address, kPromHeadboardId, text, size);
}

// Identification fills a sensor's serial number from the head board's PROM through this.
struct HeadboardIdRegistration {
    HeadboardIdRegistration() { setHeadboardIdReader(headboardIdReader); }
};
const HeadboardIdRegistration gHeadboardIdRegistration;

} // namespace

} // namespace zentro::presets

extern "C" {

ZE_API int ze_getPromHeadboardId(ze_camera_t *camera, uint32_t address, char *text)
{
    return zentro::presets::readPromText(camera, address, zentro::presets::kPromHeadboardId, text,
                                         ZE_TEXT_SIZE);
}

ZE_API int ze_getPromSensorId(ze_camera_t *camera, uint32_t address, char *text)
{
    return zentro::presets::readPromText(camera, address, zentro::presets::kPromSensorId, text,
                                         ZE_TEXT_SIZE);
}

ZE_API int ze_getPromLensType(ze_camera_t *camera, uint32_t address, char *text)
{
    return zentro::presets::readPromText(camera, address, zentro::presets::kPromLensType, text,
                                         ZE_TEXT_SIZE);
}

ZE_API int ze_getPromTimeStamp(ze_camera_t *camera, uint32_t address, char *text)
{
    return zentro::presets::readPromText(camera, address, zentro::presets::kPromTimeStamp, text,
                                         ZE_TEXT_SIZE);
}

} // extern "C"
