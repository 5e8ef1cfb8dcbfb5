// Builds the sensor record of a raw-recording camera: 25 registers that describe the playback.
#include "transport/raw_sensor.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "core/log.h"
#include "sensor_data/sensor_record.h"
#include "zentro_osal.h"
#include "zentro_sensor.h"

namespace {

constexpr char kSensorName[] = "Raw Video";
constexpr char kSpaceName[] = "Velisk Gen";
constexpr char kSpaceDescription[] = "Velisk Gen Registers";
constexpr uint32_t kStartSize = 256;
constexpr uint32_t kAddrBits = 8;
constexpr uint32_t kDataBits = 16;
constexpr uint32_t kFullMask = 0xFFFF;
constexpr uint32_t kPedestalMask = 0x3FF;
constexpr uint32_t kPedestalDefault = 42;

struct BitfieldDef {
    const char *name;
    uint32_t mask;
    uint32_t rangeMax;
};

struct RegisterDef {
    const char *name;
    const char *displayName;
    bool readOnly = false;
    BitfieldDef bitfield = {};
};

const RegisterDef kRegisters[zentro::kRawRegisterCount] = {
    {"CHIP_VERSION_REG", "chip_version_reg", true},
    {"NUM_FRAMES", "num_frames", true},
    {"CUR_FRAME", "cur_frame"},
    {"REQ_FRAME", "req_frame"},
    {"FRAME_TIME_MS", "frame_time_ms"},
    {"WIDTH", "width"},
    {"HEIGHT", "height"},
    {"CONTEXT_CYCLING", "context_cycling"},
    {"WIDTH_CONTEXT0", "width_context0"},
    {"HEIGHT_CONTEXT0", "height_context0"},
    {"WIDTH_CONTEXT1", "width_context1"},
    {"HEIGHT_CONTEXT1", "height_context1"},
    {"WIDTH_CONTEXT2", "width_context2"},
    {"HEIGHT_CONTEXT2", "height_context2"},
    {"WIDTH_CONTEXT3", "width_context3"},
    {"HEIGHT_CONTEXT3", "height_context3"},
    {"IMAGE_TYPE", "image_type"},
    {"", "pixel_order"},
    {"", "data_pedestal"},
    {"SWIZZLED", "swizzled"},
    {"MIPI_CONFIG_STATUS", "mipi_config_status", false, {"MIPI_EMBEDDED_DATA", 0x10, 1}},
    {"SENSOR_ASMASK", "sensor_asmask"},
    {"ARRAY_CONTROL_FP1", "array_control_fp1", false, {"PACKING_MODULO_FP1", 0x0F, 15}},
    {"STATUS_STRUCT_SIZE", "status_struct_size"},
    {"LIDAR_INTENSITY_MODE", "lidar_intensity_mode"},
};

bool fillBitfield(ze_reg_t &reg, const BitfieldDef &def)
{
    if (!def.name)
        return true;
    reg.bitfields = static_cast<ze_bitfield_t *>(calloc(1, sizeof(ze_bitfield_t)));
    if (!reg.bitfields)
        return false;
    ze_bitfield_t &field = reg.bitfields[0];
    zentro::copyText(field.name, def.name);
    zentro::copyText(field.displayName, def.name);
    field.mask = def.mask;
    field.access = ZE_ACCESS_RW;
    field.dataType = 1;
    field.rangeMax = def.rangeMax;
    reg.bitfieldCount = 1;
    return true;
}

bool fillRegisters(ze_sensor_t *sensor)
{
    sensor->regs = static_cast<ze_reg_t *>(calloc(zentro::kRawRegisterCount, sizeof(ze_reg_t)));
    if (!sensor->regs)
        return false;
    sensor->regCount = zentro::kRawRegisterCount;
    for (uint32_t addr = 0; addr < zentro::kRawRegisterCount; ++addr) {
        const RegisterDef &def = kRegisters[addr];
        ze_reg_t &reg = sensor->regs[addr];
        zentro::copyText(reg.name, def.name);
        zentro::copyText(reg.displayName, def.displayName);
        reg.addr = addr;
        reg.mask = addr == zentro::kRawDataPedestal ? kPedestalMask : kFullMask;
        reg.defaultValue = addr == zentro::kRawDataPedestal ? kPedestalDefault : 0;
        reg.access = def.readOnly ? ZE_ACCESS_RO : ZE_ACCESS_RW;
        reg.span = 1;
        reg.dataType = 1;
        reg.rangeMax = kFullMask;
        reg.addrSpace = &sensor->addrSpaces->spaces[0];
        if (!fillBitfield(reg, def.bitfield))
            return false;
    }
    return true;
}

bool fillAddressSpace(ze_sensor_t *sensor)
{
    auto *list = static_cast<ze_addr_space_list_t *>(calloc(1, sizeof(ze_addr_space_list_t)));
    if (!list)
        return false;
    sensor->addrSpaces = list;
    list->spaces = static_cast<ze_addr_space_t *>(calloc(1, sizeof(ze_addr_space_t)));
    if (!list->spaces)
        return false;
    list->count = 1;
    ze_addr_space_t &space = list->spaces[0];
    zentro::copyText(space.name, kSpaceName);
    zentro::copyText(space.description, kSpaceDescription);
    space.type = ZE_SPACE_REG;
    return true;
}

void fillSensorFields(ze_sensor_t *sensor, const char *path)
{
    zentro::copyText(sensor->name, kSensorName);
    sensor->sensorType = zentro::kRawSensorType;
    zentro::copyText(sensor->fileName, path);
    const char *slash = strrchr(path, '/');
    zentro::copyText(sensor->partNumber, slash ? slash + 1 : path);
    sensor->width = sensor->height = kStartSize;
    sensor->imageWidth = sensor->imageHeight = kStartSize;
    sensor->imageCount = 1;
    sensor->pixelBytes = 1;
    sensor->bitsPerPixel = 8;
    sensor->imageType = 1;
    sensor->regAddrSize = kAddrBits;
    sensor->regDataSize = kDataBits;
}

} // namespace

namespace zentro {

int buildRawSensor(ze_camera_t *camera, const char *path)
{
    const uint32_t attributes = osal_get_file_attributes(path);
    if (attributes == OSAL_NO_FILE)
        return ZE_ERRORLOGF(SENSOR_DOES_NOT_MATCH, "File does not exist, `%s`", path);
    if (attributes & OSAL_ATTRIBUTE_DIRECTORY)
        return SENSOR_DOES_NOT_MATCH;
    if (ze_AllocSensor(camera) != CAMERA_SUCCESS)
        return CAMERA_ERROR;
    ze_sensor_t *sensor = camera->sensor;
    fillSensorFields(sensor, path);
    if (!fillAddressSpace(sensor) || !fillRegisters(sensor))
        return ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate sensor structure");
    return CAMERA_SUCCESS;
}

} // namespace zentro
