/*
 * run_preset: runs one section of a preset file on a null camera (a camera without hardware
 * described by a sensor-data file) and prints every register whose value the preset changed.
 *
 * Usage: run_preset <file.sdat> <preset.ini> [section]
 *        (without a section the preset's "Tavo Initialization" section runs)
 * Exit status: 0 when the section ran, 1 when the camera could not be opened, 2 when the
 * section could not be run (missing file or section), 3 for a usage error.
 */
#include <stdio.h>
#include <stdlib.h>

#include <zentro.h>

/* The current value of every register; a register that cannot be read keeps 0. */
static uint32_t *readAll(ze_camera_t *camera)
{
    const ze_sensor_t *sensor = camera->sensor;
    uint32_t *values =
        calloc(sensor->regCount > 0 ? (size_t)sensor->regCount : 1, sizeof(uint32_t));
    if (!values)
        return NULL;
    for (int32_t i = 0; i < sensor->regCount; ++i) {
        if (sensor->regs[i].access != ZE_ACCESS_WO)
            ze_ReadSensorReg(camera, &sensor->regs[i], &values[i]);
    }
    return values;
}

static int printChanges(ze_camera_t *camera, const uint32_t *before, const uint32_t *after)
{
    const ze_sensor_t *sensor = camera->sensor;
    int changed = 0;
    for (int32_t i = 0; i < sensor->regCount; ++i) {
        if (before[i] == after[i])
            continue;
        const ze_reg_t *reg = &sensor->regs[i];
        printf("  %-28s 0x%04X  0x%08X -> 0x%08X\n", reg->name, reg->addr, before[i], after[i]);
        ++changed;
    }
    return changed;
}

/* Preset mistakes are logged; show them to the user. */
static void printLogLine(uint32_t level, int code, const char *message, const char *source_file,
                         const char *function, int line)
{
    (void)level;
    (void)source_file;
    (void)function;
    (void)line;
    fprintf(stderr, "%s: %s\n", ze_getErrorMessage(code), message ? message : "");
}

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: %s <file.sdat> <preset.ini> [section]\n", argv[0]);
        return 3;
    }
    const char *section = argc == 4 ? argv[3] : NULL;
    ze_OpenErrorLogCallback(ZE_LOG_SEVERE | ZE_LOG_ERROR, printLogLine);

    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {0};
    int count = 0;
    if (ze_OpenCameras2(cameras, &count, argv[1], ZE_TRANSPORT_NUL, "") != 0 || count < 1) {
        fprintf(stderr, "Cannot open a null camera on %s\n", argv[1]);
        return 1;
    }
    ze_camera_t *camera = cameras[0];
    ze_startTransport(camera); /* power-up values of every register */

    uint32_t *before = readAll(camera);
    const uint32_t result = ze_LoadINIPreset(camera, argv[2], section);
    uint32_t *after = readAll(camera);
    int status = 0;
    if (result != INI_SUCCESS) {
        fprintf(stderr, "Section \"%s\" of %s did not run: %s\n",
                section ? section : ZE_DEFAULT_PRESET_SECTION, argv[2],
                ze_getErrorMessage((int)result));
        status = 2;
    } else if (before && after) {
        printf("Section \"%s\" of %s on %s:\n", section ? section : ZE_DEFAULT_PRESET_SECTION,
               argv[2], camera->sensor->name);
        const int changed = printChanges(camera, before, after);
        printf("%d register%s changed; image %u x %u\n", changed, changed == 1 ? "" : "s",
               camera->sensor->imageWidth, camera->sensor->imageHeight);
    }
    free(before);
    free(after);
    ze_CloseCameras2(cameras, count);
    ze_CloseErrorLog();
    return status;
}
