// The synthetic register set of a raw-recording camera.
#ifndef ZENTRO_TRANSPORT_RAW_SENSOR_H
#define ZENTRO_TRANSPORT_RAW_SENSOR_H

#include <cstdint>

#include "zentro_camera.h"

namespace zentro {

// Addresses of the synthetic registers.
enum RawRegister : uint32_t {
    kRawChipVersion = 0,
    kRawNumFrames = 1,
    kRawCurFrame = 2,
    kRawReqFrame = 3,
    kRawFrameTimeMs = 4,
    kRawWidth = 5,
    kRawHeight = 6,
    kRawContextCycling = 7,
    kRawWidthContext0 = 8, // width and height of contexts 0 to 3 alternate up to 15
    kRawImageType = 16,
    kRawPixelOrder = 17,
    kRawDataPedestal = 18,
    kRawSwizzled = 19,
    kRawMipiConfigStatus = 20,
    kRawSensorAsMask = 21,
    kRawArrayControlFp1 = 22,
    kRawStatusStructSize = 23,
    kRawLidarIntensityMode = 24,
    kRawRegisterCount = 25,
};

// Sensor type code of file-playback cameras.
inline constexpr uint32_t kRawSensorType = 36;

// Gives @camera the synthetic sensor record of the recording @path. The code of a failure
// (logged): 8 for a path that does not exist or is a directory, 1 when memory runs out.
int buildRawSensor(ze_camera_t *camera, const char *path);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_RAW_SENSOR_H
