/*
 * play_recording: plays a raw recording (".raw" or ".yuv" with its "_info.txt" description)
 * as a camera and prints what each grabbed frame holds. The recording loops, so asking for
 * more frames than it holds starts again at its first frame. Compressed recordings give
 * frames of different lengths; the byte count printed is each frame's own.
 *
 * Usage: play_recording <file.raw> [frames] [--fast]
 *   frames  how many frames to grab (default: one pass over the recording)
 *   --fast  deliver frames as fast as the file reads instead of at the recorded pace
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <zentro.h>

/* Register addresses of a recording camera. */
enum { REG_NUM_FRAMES = 1, REG_CUR_FRAME = 2, REG_FRAME_TIME_MS = 4 };

static uint32_t readReg(ze_camera_t *camera, uint32_t addr)
{
    uint32_t value = 0;
    ze_readRegister(camera, camera->sensor->shipBaseAddr, addr, &value);
    return value;
}

/* A simple checksum, so that two runs can be compared frame by frame. */
static uint32_t checksum(const uint8_t *data, uint32_t size)
{
    uint32_t sum = 2166136261u;
    for (uint32_t i = 0; i < size; ++i)
        sum = (sum ^ data[i]) * 16777619u;
    return sum;
}

static int play(ze_camera_t *camera, long frames)
{
    const ze_sensor_t *sensor = camera->sensor;
    uint8_t *buffer = malloc(sensor->imageBytes ? sensor->imageBytes : 1);
    if (!buffer) {
        fprintf(stderr, "Out of memory\n");
        return 1;
    }
    int status = 0;
    for (long i = 0; i < frames && status == 0; ++i) {
        const int result = ze_grabFrame(camera, buffer, sensor->imageBytes);
        ze_frame_info_t info;
        memset(&info, 0, sizeof info);
        ze_getFrameData(camera, &info);
        if (result != CAMERA_SUCCESS && result != NOT_ENOUGH_DATA_ERROR) {
            fprintf(stderr, "Grab %ld failed: %d\n", i, result);
            status = 1;
            break;
        }
        printf("Grab %3ld: frame %u, %u of %u bytes, checksum %08X%s\n", i,
               readReg(camera, REG_CUR_FRAME), info.bytesReturned, info.bytesRequested,
               checksum(buffer, info.bytesReturned),
               result == NOT_ENOUGH_DATA_ERROR ? " (short)" : "");
    }
    free(buffer);
    return status;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "Usage: %s <file.raw> [frames] [--fast]\n", argv[0]);
        return 2;
    }
    ze_camera_t *cameras[ZE_MAX_CAMERAS];
    int count = 0;
    if (ze_OpenCameras2(cameras, &count, argv[1], ZE_TRANSPORT_RAW, "") != CAMERA_SUCCESS ||
        count == 0) {
        fprintf(stderr, "Cannot play %s (the library's log says why)\n", argv[1]);
        return 1;
    }
    ze_camera_t *camera = cameras[0];
    const ze_sensor_t *sensor = camera->sensor;
    const long recorded = (long)readReg(camera, REG_NUM_FRAMES);
    long frames = recorded;
    int fast = 0;
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "--fast") == 0)
            fast = 1;
        else
            frames = strtol(argv[i], NULL, 10);
    }
    char type[ZE_IMAGE_TYPE_STR_SIZE];
    ze_GetImageTypeStr(sensor->imageType, type);
    printf("Recording %s: %u x %u, %s, %ld frames of %u bytes, %u ms per frame\n", argv[1],
           sensor->imageWidth, sensor->imageHeight, type, recorded, sensor->imageBytes,
           readReg(camera, REG_FRAME_TIME_MS));
    /* The sensor the description names comes back with its recorded register values. */
    if (sensor->farSensor1)
        printf("Recorded with %s (%s): its registers read as SENSOR.<name>\n",
               sensor->farSensor1->name, sensor->farSensor1->fileName);
    if (fast)
        ze_setMode(camera, ZE_HW_FRAME_TIME, 0);
    int status = ze_startTransport(camera) == CAMERA_SUCCESS ? play(camera, frames) : 1;
    ze_stopTransport(camera);
    ze_CloseCameras2(cameras, count);
    return status;
}
