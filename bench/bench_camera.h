// Cameras of the benchmarks: a bare record for the readers, a null camera for access.
#ifndef ZENTRO_BENCH_CAMERA_H
#define ZENTRO_BENCH_CAMERA_H

#include <cstdlib>
#include <string>

#include "zentro.h"

namespace zentro::bench {

// Released, with its sensor record, at the end of the scope.
class BenchCamera
{
public:
    BenchCamera() { ze_InitCameraContext(&camera_); }
    ~BenchCamera()
    {
        ze_DestructSensor(camera_.sensor);
        free(camera_.sensor);
        ze_FreeCameraContext(&camera_);
    }
    BenchCamera(const BenchCamera &) = delete;
    BenchCamera &operator=(const BenchCamera &) = delete;
    ze_camera_t *get() { return &camera_; }
    const ze_sensor_t *sensor() const { return camera_.sensor; }

private:
    ze_camera_t camera_{};
};

// A null camera opened on one sensor-data file (none when it cannot be opened), closed at
// the end of the scope.
class NullCamera
{
public:
    explicit NullCamera(const std::string &path)
    {
        ze_camera_t *opened[ZE_MAX_CAMERAS] = {};
        int count = 0;
        if (ze_OpenCameras2(opened, &count, path.c_str(), ZE_TRANSPORT_NUL, "") == 0 && count > 0)
            camera_ = opened[0];
    }
    ~NullCamera()
    {
        if (camera_)
            ze_CloseCameras2(&camera_, 1);
    }
    NullCamera(const NullCamera &) = delete;
    NullCamera &operator=(const NullCamera &) = delete;
    ze_camera_t *get() const { return camera_; }

private:
    ze_camera_t *camera_ = nullptr;
};

} // namespace zentro::bench

#endif // ZENTRO_BENCH_CAMERA_H
