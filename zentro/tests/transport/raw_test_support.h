// Opening raw recordings in the transport's tests: the cameras opened for one path.
#ifndef ZENTRO_TESTS_TRANSPORT_RAW_TEST_SUPPORT_H
#define ZENTRO_TESTS_TRANSPORT_RAW_TEST_SUPPORT_H

#include <string>

#include "zentro.h"

namespace zentro::test {

// The cameras that opening @path through the raw transport gives; closed when it goes.
class RawCameras
{
public:
    explicit RawCameras(const std::string &path)
    {
        result = ze_OpenCameras2(opened, &count, path.c_str(), ZE_TRANSPORT_RAW, "");
    }
    ~RawCameras() { ze_CloseCameras2(opened, count); }
    RawCameras(const RawCameras &) = delete;
    RawCameras &operator=(const RawCameras &) = delete;

    ze_camera_t *opened[ZE_MAX_CAMERAS] = {};
    int count = 0;
    int result = 0;
};

} // namespace zentro::test

#endif // ZENTRO_TESTS_TRANSPORT_RAW_TEST_SUPPORT_H
