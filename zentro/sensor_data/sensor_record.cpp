// The sensor record: allocation, release, start values and the table of known sensor names.
#include "sensor_data/sensor_record.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camera/context.h"
#include "core/log.h"
#include "registers/cache.h"
#include "registers/index.h"
#include "zentro_osal.h"

namespace {

constexpr uint32_t kStartWidth = 640;
constexpr uint32_t kStartHeight = 480;
constexpr uint32_t kStartPixelBytes = 2;
constexpr uint32_t kStartBitsPerPixel = 10;
constexpr uint32_t kStartImageType = 2; // Bayer 10
constexpr uint32_t kStartAddrSize = 8;
constexpr uint32_t kStartDataSize = 16;

// Known sensor names: entry N is "ZX" followed by N in four digits; entry 0 is reserved.
constexpr size_t kTypeNameSize = 7;
using TypeNameTable = std::array<std::array<char, kTypeNameSize>, ZE_SENSOR_TYPE_COUNT>;

constexpr TypeNameTable makeTypeNameTable()
{
    TypeNameTable table{};
    for (size_t code = 1; code < table.size(); ++code) {
        table[code] = {'Z',
                       'X',
                       static_cast<char>('0' + code / 1000),
                       static_cast<char>('0' + code / 100 % 10),
                       static_cast<char>('0' + code / 10 % 10),
                       static_cast<char>('0' + code % 10),
                       '\0'};
    }
    return table;
}

constexpr TypeNameTable kTypeNames = makeTypeNameTable();

void freeNotes(ze_desc_note_t *notes, int32_t count)
{
    for (int32_t i = 0; notes && i < count; ++i) {
        free(notes[i].regName);
        free(notes[i].bitfieldName);
        free(notes[i].text);
    }
    free(notes);
}

void destroyFarCopy(ze_sensor_t *&far)
{
    if (!far)
        return;
    ze_DestructSensor(far);
    free(far);
    far = nullptr;
}

} // namespace

namespace zentro {

void copyText(char *field, size_t size, const char *text)
{
    if (!field || size == 0)
        return;
    if (!text)
        text = "";
    size_t n = strnlen(text, size - 1);
    memcpy(field, text, n);
    field[n] = '\0';
}

void freeRegisters(ze_reg_t *regs, int32_t count)
{
    for (int32_t i = 0; regs && i < count; ++i)
        free(regs[i].bitfields);
    free(regs);
}

void freeAddrSpaces(ze_addr_space_list_t *spaces)
{
    if (!spaces)
        return;
    free(spaces->spaces);
    free(spaces);
}

void freeChips(ze_chip_t *chips, int32_t count)
{
    for (int32_t i = 0; chips && i < count; ++i)
        freeRegisters(chips[i].regs, chips[i].regCount);
    free(chips);
}

void registersChanged(ze_camera_t *camera)
{
    if (!camera || !camera->context)
        return;
    if (camera->context->registerIndex)
        camera->context->registerIndex->invalidate();
    // The cache stays parallel to the register array.
    rebuildRegisterCache(camera);
}

void resetSensorRecord(ze_sensor_t *sensor, const char *fileName)
{
    ze_DestructSensor(sensor);
    memset(sensor, 0, sizeof(*sensor));
    copyText(sensor->name, "Unknown");
    sensor->width = sensor->imageWidth = kStartWidth;
    sensor->height = sensor->imageHeight = kStartHeight;
    sensor->imageCount = 1;
    sensor->pixelBytes = kStartPixelBytes;
    sensor->bitsPerPixel = kStartBitsPerPixel;
    sensor->imageType = kStartImageType;
    sensor->regAddrSize = kStartAddrSize;
    sensor->regDataSize = kStartDataSize;
    sensor->sensorVersion = 1;
    copyText(sensor->fileName, fileName);
}

void releaseSensorRecord(ze_camera_t *camera)
{
    if (!camera || !camera->sensor)
        return;
    ze_DestructSensor(camera->sensor);
    free(camera->sensor);
    camera->sensor = nullptr;
    // The cache describes the old record's registers.
    freeRegisterCache(camera);
    registersChanged(camera);
}

} // namespace zentro

extern "C" {

ZE_API void ze_DestructSensor(ze_sensor_t *sensor)
{
    if (!sensor)
        return;
    zentro::freeRegisters(sensor->regs, sensor->regCount);
    sensor->regs = nullptr;
    sensor->regCount = 0;
    zentro::freeAddrSpaces(sensor->addrSpaces);
    sensor->addrSpaces = nullptr;
    freeNotes(sensor->longDescs, sensor->longDescCount);
    sensor->longDescs = nullptr;
    sensor->longDescCount = 0;
    freeNotes(sensor->confNotes, sensor->confNoteCount);
    sensor->confNotes = nullptr;
    sensor->confNoteCount = 0;
    destroyFarCopy(sensor->farSensor1);
    destroyFarCopy(sensor->farSensor2);
}

ZE_API int ze_AllocSensor(ze_camera_t *camera)
{
    if (!camera)
        return CAMERA_ERROR;
    zentro::releaseSensorRecord(camera);
    camera->sensor = static_cast<ze_sensor_t *>(calloc(1, sizeof(ze_sensor_t)));
    if (!camera->sensor)
        return ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate sensor structure");
    return CAMERA_SUCCESS;
}

ZE_API const char *ze_FarID(ze_camera_t *camera, uint32_t type)
{
    if (!camera || !camera->context || !camera->sensor)
        return nullptr;
    if (type == ZE_SPACE_FAR1 && camera->sensor->farSensor1)
        return camera->context->farNames[0];
    if (type == ZE_SPACE_FAR2 && camera->sensor->farSensor2)
        return camera->context->farNames[1];
    return nullptr;
}

ZE_API uint32_t ze_SensorTypeCode(const char *name)
{
    if (!name)
        return 0;
    for (uint32_t code = 1; code < ZE_SENSOR_TYPE_COUNT; ++code) {
        if (osal_stricmp(name, kTypeNames[code].data()) == 0)
            return code;
    }
    return 0;
}

ZE_API const char *ze_SensorTypeName(uint32_t code)
{
    if (code == 0 || code >= ZE_SENSOR_TYPE_COUNT)
        return nullptr;
    return kTypeNames[code].data();
}

} // extern "C"
