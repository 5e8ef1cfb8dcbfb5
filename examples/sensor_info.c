/*
 * sensor_info: describes a sensor from its sensor-data file on a null camera (a camera
 * without hardware): the sensor, its address spaces, every register with its bitfields and
 * current value (read through the register-access API), and one grabbed frame.
 *
 * Usage: sensor_info <file.sdat>
 */
#include <stdio.h>
#include <stdlib.h>

#include <zentro.h>

/* The value of a bitfield: the masked bits shifted down to bit 0. */
static uint32_t fieldValue(uint32_t value, uint32_t mask)
{
    if (mask == 0)
        return 0;
    value &= mask;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        value >>= 1;
    }
    return value;
}

static const char *accessText(ze_access_t access)
{
    switch (access) {
    case ZE_ACCESS_RO:
        return "RO";
    case ZE_ACCESS_WO:
        return "WO";
    default:
        return "RW";
    }
}

static const char *spaceTypeText(ze_addr_space_type_t type)
{
    static const char *const names[] = {"REG",      "MCU",      "SFR",  "IND",      "FAR1",
                                        "FAR1_MCU", "FAR1_SFR", "FAR2", "FAR2_MCU", "FAR2_SFR"};
    return type < sizeof(names) / sizeof(names[0]) ? names[type] : "?";
}

static void printSensor(ze_camera_t *camera)
{
    const ze_sensor_t *sensor = camera->sensor;
    char imageType[32];
    ze_GetImageTypeStr(sensor->imageType, imageType);
    printf("Camera     %s over %s (%s)\n", camera->productName, camera->transportName,
           ze_GetDriverInfoString(camera));
    printf("Sensor     %s (type code %u), part number %s, version %s\n", sensor->name,
           sensor->sensorType, sensor->partNumber, sensor->versionName);
    printf("File       %s\n", sensor->fileName);
    printf("Geometry   %u x %u, image %u x %u, %s, %u bits per pixel, %u bytes per pixel, "
           "%u bytes per frame\n",
           sensor->width, sensor->height, sensor->imageWidth, sensor->imageHeight, imageType,
           sensor->bitsPerPixel, sensor->pixelBytes, sensor->imageBytes);
    printf("Bus        base address 0x%02X, %u-bit register addresses, %u-bit data%s\n",
           sensor->shipBaseAddr, sensor->regAddrSize, sensor->regDataSize,
           sensor->regDataLE ? ", little-endian" : "");
}

static void printAddressSpaces(const ze_sensor_t *sensor)
{
    const ze_addr_space_list_t *table = sensor->addrSpaces;
    if (!table || table->count == 0) {
        printf("\nAddress spaces: none\n");
        return;
    }
    if (table->readSelectAddr)
        printf("\nAddress spaces (selected through register 0x%X):\n", table->readSelectAddr);
    else
        printf("\nAddress spaces:\n");
    for (int32_t i = 0; i < table->count; ++i) {
        const ze_addr_space_t *space = &table->spaces[i];
        printf("  %-12s %-8s id %-3d %s\n", space->name, spaceTypeText(space->type), space->id,
               space->description);
    }
}

static void printRegisters(ze_camera_t *camera)
{
    ze_sensor_t *sensor = camera->sensor;
    printf("\nRegisters (%d):\n", sensor->regCount);
    for (int32_t i = 0; i < sensor->regCount; ++i) {
        ze_reg_t *reg = &sensor->regs[i];
        uint32_t value = 0;
        int result = ze_ReadSensorReg(camera, reg, &value);
        const char *space = reg->addrSpace ? reg->addrSpace->name : "";
        if (result == 0)
            printf("  %-28s %-10s 0x%04X %s = 0x%08X  %s\n", reg->name, space, reg->addr,
                   accessText(reg->access), value, reg->displayName);
        else
            printf("  %-28s %-10s 0x%04X %s = (%s)  %s\n", reg->name, space, reg->addr,
                   accessText(reg->access), ze_getErrorMessage(result), reg->displayName);
        for (int32_t b = 0; b < reg->bitfieldCount; ++b) {
            const ze_bitfield_t *field = &reg->bitfields[b];
            printf("      %-24s mask 0x%08X = %u  %s\n", field->name, field->mask,
                   fieldValue(value, field->mask), field->displayName);
        }
    }
}

static int grabOneFrame(ze_camera_t *camera)
{
    uint32_t size = camera->sensor->imageBytes;
    uint8_t *buffer = malloc(size ? size : 1);
    if (!buffer)
        return 1;
    int result = ze_grabFrame(camera, buffer, size);
    ze_frame_info_t frame;
    if (result == 0)
        result = ze_getFrameData(camera, &frame);
    if (result == 0)
        printf("\nFrame      %u bytes requested, %u returned, %u lines of %u pixels, "
               "first byte 0x%02X\n",
               frame.bytesRequested, frame.bytesReturned, frame.frameLines, frame.lineSize,
               buffer[0]);
    else
        printf("\nFrame      not grabbed: %s\n", ze_getErrorMessage(result));
    free(buffer);
    return result;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <file.sdat>\n", argv[0]);
        return 2;
    }
    ze_OpenErrorLog(ZE_LOG_SEVERE | ZE_LOG_ERROR, "sensor_info_log");

    ze_camera_t *cameras[ZE_MAX_CAMERAS];
    int count = 0;
    int result = ze_OpenCameras2(cameras, &count, argv[1], ZE_TRANSPORT_NUL, "");
    if (result != 0 || count == 0) {
        fprintf(stderr, "%s: cannot open a camera on %s (%s; see sensor_info_log0.txt)\n", argv[0],
                argv[1], ze_getErrorMessage(result ? result : 1));
        ze_CloseErrorLog();
        return 1;
    }
    ze_camera_t *camera = cameras[0];
    ze_startTransport(camera);
    printSensor(camera);
    printAddressSpaces(camera->sensor);
    printRegisters(camera);
    int grabbed = grabOneFrame(camera);
    ze_stopTransport(camera);
    ze_CloseCameras2(cameras, count);
    ze_CloseErrorLog();
    return grabbed == 0 ? 0 : 1;
}
