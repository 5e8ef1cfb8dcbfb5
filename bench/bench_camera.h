// A camera record with a common context and nothing else, for benchmarks of the readers.
#ifndef ZENTRO_BENCH_CAMERA_H
#define ZENTRO_BENCH_CAMERA_H

#include <cstdlib>

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

} // namespace zentro::bench

#endif // ZENTRO_BENCH_CAMERA_H
