// What the end-to-end tests of the board's camera share, whether they open it through the
// board plug-in or over the network: the cameras of one open, grabs, the stream start and
// the simulated sensor's frames (16-bit samples, the frame number in the first four).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zentro.h"

namespace zentro_tests {

inline constexpr uint32_t kPixelBytes = 2;
inline constexpr unsigned kCounterSamples = 4;

// The cameras of one ze_OpenCameras2 call through a plug-in, closed at the end.
class OpenedCameras
{
public:
    OpenedCameras(const std::string &sensorPath, const std::string &plugin)
    {
        result_ = ze_OpenCameras2(cameras_, &count_, sensorPath.c_str(), ZE_TRANSPORT_DLL,
                                  plugin.c_str());
    }
    ~OpenedCameras() { close(); }
    OpenedCameras(const OpenedCameras &) = delete;
    OpenedCameras &operator=(const OpenedCameras &) = delete;

    void close()
    {
        if (count_ > 0)
            ze_CloseCameras2(cameras_, count_);
        count_ = 0;
    }
    int result() const { return result_; }
    int count() const { return count_; }
    ze_camera_t *camera() const { return count_ > 0 ? cameras_[0] : nullptr; }

private:
    ze_camera_t *cameras_[ZE_MAX_CAMERAS] = {};
    int count_ = 0;
    int result_ = 0;
};

inline uint32_t sampleAt(const std::vector<uint8_t> &frame, size_t index)
{
    return frame[kPixelBytes * index] | frame[kPixelBytes * index + 1] << 8;
}

inline uint32_t frameNumber(const std::vector<uint8_t> &frame)
{
    uint32_t number = 0;
    for (unsigned i = 0; i < kCounterSamples; ++i)
        number |= (sampleAt(frame, i) & 0xFF) << (8 * i);
    return number;
}

inline std::vector<uint8_t> frameBuffer(const ze_camera_t *camera)
{
    const ze_sensor_t *sensor = camera->sensor;
    return std::vector<uint8_t>(size_t{sensor->imageWidth} * sensor->imageHeight * kPixelBytes);
}

inline int grab(ze_camera_t *camera, std::vector<uint8_t> &frame)
{
    return ze_grabFrame(camera, frame.data(), static_cast<uint32_t>(frame.size()));
}

// The board's camera streams once its sensor has been through a reset.
inline bool startStreaming(ze_camera_t *camera)
{
    return ze_setMode(camera, ZE_SENSOR_RESET, 1) == 0 &&
           ze_setMode(camera, ZE_SENSOR_RESET, 0) == 0 && ze_startTransport(camera) == 0;
}

} // namespace zentro_tests
