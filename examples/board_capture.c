/*
 * board_capture: opens the board's camera through its transport plug-in, identifies the
 * sensor, describes it, writes and reads back registers and bitfields by name, grabs frames
 * and saves the last one as a 16-bit greyscale PNG.
 *
 * Usage: board_capture [-p PLUGIN] [-n FRAMES] [-o FILE.png] [-s NAME[.BITFIELD]=VALUE]...
 *                      [SENSOR_DATA]
 *
 * PLUGIN is the plug-in file or folder (default: the library's search: ".cam" files here,
 * then the Plugins folder of the library home); SENSOR_DATA the sensor-data folder to
 * identify the sensor in (default: the library's). Without -s the program sets the default
 * sensor's integration time and horizontal mirror.
 */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <png.h>
#include <zentro.h>

enum { MAX_SETTINGS = 16, NAME_SIZE = 256, DEFAULT_FRAMES = 10, COUNTER_SAMPLES = 4 };

struct setting {
    char reg[NAME_SIZE];
    char bitfield[NAME_SIZE];
    uint32_t value;
};

struct options {
    const char *plugin;
    const char *sensorData;
    const char *output;
    unsigned frames;
    struct setting settings[MAX_SETTINGS];
    int settingCount;
};

static const struct setting defaultSettings[] = {
    {"COARSE_INTEGRATION_TIME", "", 0x0300},
    {"READOUT_MODE", "HORIZ_MIRROR", 1},
};

static void usage(const char *program)
{
    fprintf(stderr,
            "usage: %s [-p PLUGIN] [-n FRAMES] [-o FILE.png] [-s NAME[.BITFIELD]=VALUE]... "
            "[SENSOR_DATA]\n",
            program);
}

/* "NAME[.BITFIELD]=VALUE", the value in any C base. */
static int parseSetting(const char *text, struct setting *setting)
{
    const char *equals = strchr(text, '=');
    if (!equals || equals == text)
        return -1;
    size_t nameLength = (size_t)(equals - text);
    if (nameLength >= NAME_SIZE)
        return -1;
    char name[NAME_SIZE];
    memcpy(name, text, nameLength);
    name[nameLength] = '\0';
    char *dot = strchr(name, '.');
    setting->bitfield[0] = '\0';
    if (dot) {
        *dot = '\0';
        snprintf(setting->bitfield, sizeof setting->bitfield, "%s", dot + 1);
    }
    snprintf(setting->reg, sizeof setting->reg, "%s", name);
    char *end = NULL;
    errno = 0;
    unsigned long value = strtoul(equals + 1, &end, 0);
    if (errno != 0 || end == equals + 1 || *end != '\0' || value > 0xFFFFFFFFul)
        return -1;
    setting->value = (uint32_t)value;
    return 0;
}

static int parseOptions(int argc, char **argv, struct options *options)
{
    memset(options, 0, sizeof *options);
    options->output = "frame.png";
    options->frames = DEFAULT_FRAMES;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        int hasValue = i + 1 < argc;
        if (strcmp(arg, "-p") == 0 && hasValue) {
            options->plugin = argv[++i];
        } else if (strcmp(arg, "-o") == 0 && hasValue) {
            options->output = argv[++i];
        } else if (strcmp(arg, "-n") == 0 && hasValue) {
            char *end = NULL;
            unsigned long frames = strtoul(argv[++i], &end, 10);
            if (*end != '\0' || frames == 0 || frames > 100000)
                return -1;
            options->frames = (unsigned)frames;
        } else if (strcmp(arg, "-s") == 0 && hasValue) {
            if (options->settingCount == MAX_SETTINGS ||
                parseSetting(argv[++i], &options->settings[options->settingCount]) != 0)
                return -1;
            ++options->settingCount;
        } else if (arg[0] != '-' && !options->sensorData) {
            options->sensorData = arg;
        } else {
            return -1;
        }
    }
    if (options->settingCount == 0) {
        memcpy(options->settings, defaultSettings, sizeof defaultSettings);
        options->settingCount = (int)(sizeof defaultSettings / sizeof defaultSettings[0]);
    }
    return 0;
}

static void describe(ze_camera_t *camera)
{
    const ze_sensor_t *sensor = camera->sensor;
    char imageType[32];
    ze_GetImageTypeStr(sensor->imageType, imageType);
    printf("Camera     %s over %s\n", camera->productName, camera->transportName);
    if (camera->productSerialNumber[0])
        printf("Board      serial number %s\n", camera->productSerialNumber);
    printf("Sensor     %s, part number %s\n", sensor->name, sensor->partNumber);
    printf("File       %s\n", sensor->fileName);
    printf("Image      %u x %u, %s, %u bits per pixel, %u bytes per frame\n", sensor->imageWidth,
           sensor->imageHeight, imageType, sensor->bitsPerPixel, sensor->imageBytes);
    printf("Bus        address 0x%02X, %u-bit register addresses, %u-bit data, %d registers\n",
           sensor->shipBaseAddr, sensor->regAddrSize, sensor->regDataSize, sensor->regCount);
}

static const char *fieldName(const struct setting *setting)
{
    return setting->bitfield[0] ? setting->bitfield : NULL;
}

/* Writes one setting and reads it back; 0 when the value read is the value written. */
static int applySetting(ze_camera_t *camera, const struct setting *setting)
{
    uint32_t before = 0, after = 0;
    int result = ze_ReadSensorRegStr(camera, setting->reg, fieldName(setting), &before);
    if (result == 0)
        result = ze_WriteSensorRegStr(camera, setting->reg, fieldName(setting), setting->value);
    if (result == 0)
        result = ze_ReadSensorRegStr(camera, setting->reg, fieldName(setting), &after);
    const char *dot = setting->bitfield[0] ? "." : "";
    if (result != 0) {
        fprintf(stderr, "%s%s%s: %s\n", setting->reg, dot, setting->bitfield,
                ze_getErrorMessage(result));
        return result;
    }
    printf("Register   %s%s%s = 0x%X (was 0x%X)%s\n", setting->reg, dot, setting->bitfield, after,
           before, after == setting->value ? "" : ", not the value written");
    return after == setting->value ? 0 : CAMERA_ERROR;
}

/* The frame number the board writes into the first four samples of every frame. */
static uint32_t frameNumber(const uint8_t *frame, uint32_t pixelBytes)
{
    uint32_t number = 0;
    for (unsigned i = 0; i < COUNTER_SAMPLES; ++i)
        number |= (uint32_t)(frame[i * pixelBytes] & 0xFF) << (8 * i);
    return number;
}

/* Samples scaled to the full 16 bits, with the significant-bits chunk telling viewers and
 * tools how many bits the sensor delivered. */
static int savePng(const char *path, const uint8_t *frame, uint32_t width, uint32_t height,
                   uint32_t pixelBytes, uint32_t bits)
{
    FILE *file = fopen(path, "wb");
    if (!file)
        return -1;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
    png_infop info = png ? png_create_info_struct(png) : NULL;
    uint8_t *row = malloc((size_t)width * 2);
    volatile int result = -1; /* read after a libpng error jumps back */
    if (!png || !info || !row)
        goto done;
    if (setjmp(png_jmpbuf(png)))
        goto done;
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color_8 significant = {.gray = (png_byte)bits};
    png_set_sBIT(png, info, &significant);
    png_write_info(png, info);
    const unsigned scale = bits < 16 ? 16 - bits : 0;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t *source = frame + (size_t)y * width * pixelBytes;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t sample =
                pixelBytes == 1 ? source[x] : (uint32_t)(source[2 * x] | source[2 * x + 1] << 8);
            sample = (sample << scale) & 0xFFFF;
            row[2 * x] = (uint8_t)(sample >> 8); /* PNG samples are big-endian */
            row[2 * x + 1] = (uint8_t)sample;
        }
        png_write_row(png, row);
    }
    png_write_end(png, NULL);
    result = 0;
done:
    png_destroy_write_struct(png ? &png : NULL, info ? &info : NULL);
    free(row);
    if (fclose(file) != 0)
        result = -1;
    return result;
}

/* Grabs the frames, printing each one's description; the last one stays in @frame. */
static int grabFrames(ze_camera_t *camera, uint8_t *frame, uint32_t size, unsigned count)
{
    const uint32_t pixelBytes = camera->sensor->pixelBytes ? camera->sensor->pixelBytes : 2;
    for (unsigned i = 1; i <= count; ++i) {
        int result = ze_grabFrame(camera, frame, size);
        ze_frame_info_t info;
        if (result == 0)
            result = ze_getFrameData(camera, &info);
        if (result != 0) {
            fprintf(stderr, "grab %u: %s\n", i, ze_getErrorMessage(result));
            return result;
        }
        printf("Frame      %2u: %u bytes, frame number %u\n", i, info.bytesReturned,
               frameNumber(frame, pixelBytes));
    }
    return 0;
}

static int run(ze_camera_t *camera, const struct options *options)
{
    describe(camera);
    for (int i = 0; i < options->settingCount; ++i)
        if (applySetting(camera, &options->settings[i]) != 0)
            return 1;

    const ze_sensor_t *sensor = camera->sensor;
    const uint32_t pixelBytes = sensor->pixelBytes ? sensor->pixelBytes : 2;
    const uint32_t size = sensor->imageWidth * sensor->imageHeight * pixelBytes;
    uint8_t *frame = malloc(size ? size : 1);
    if (!frame) {
        fprintf(stderr, "no memory for a frame of %u bytes\n", size);
        return 1;
    }
    /* The board's camera streams once its sensor has been through a reset: hold the sensor in
     * reset, release it, and the next grab sets the capture up again. */
    int result = ze_setMode(camera, ZE_SENSOR_RESET, 1);
    if (result == 0)
        result = ze_setMode(camera, ZE_SENSOR_RESET, 0);
    if (result == 0)
        result = ze_startTransport(camera);
    if (result == 0)
        result = grabFrames(camera, frame, size, options->frames);
    ze_stopTransport(camera);
    if (result == 0) {
        if (savePng(options->output, frame, sensor->imageWidth, sensor->imageHeight, pixelBytes,
                    sensor->bitsPerPixel) != 0) {
            fprintf(stderr, "cannot write %s\n", options->output);
            result = 1;
        } else {
            printf("Saved      %s: %u x %u, 16-bit grey, %u significant bits\n", options->output,
                   sensor->imageWidth, sensor->imageHeight, sensor->bitsPerPixel);
        }
    }
    free(frame);
    return result == 0 ? 0 : 1;
}

int main(int argc, char **argv)
{
    struct options options;
    if (parseOptions(argc, argv, &options) != 0) {
        usage(argv[0]);
        return 2;
    }
    ze_OpenErrorLog(ZE_LOG_SEVERE | ZE_LOG_ERROR, "board_capture_log");
    ze_camera_t *cameras[ZE_MAX_CAMERAS];
    int count = 0;
    int result = ze_OpenCameras2(cameras, &count, options.sensorData, ZE_TRANSPORT_DLL,
                                 options.plugin ? options.plugin : "");
    if (result != 0 || count == 0) {
        fprintf(stderr, "%s: no camera on the board (%s; see board_capture_log0.txt)\n", argv[0],
                ze_getErrorMessage(result ? result : CAMERA_ERROR));
        ze_CloseErrorLog();
        return 1;
    }
    int status = 1;
    if (!cameras[0]->sensor)
        fprintf(stderr, "%s: the camera's sensor was not identified\n", argv[0]);
    else
        status = run(cameras[0], &options);
    ze_CloseCameras2(cameras, count);
    ze_CloseErrorLog();
    return status;
}
