// Helpers for the camera tests: small sensor-data files and cameras closed at scope end.
#ifndef ZENTRO_TESTS_CAMERA_CAMERA_TEST_SUPPORT_H
#define ZENTRO_TESTS_CAMERA_CAMERA_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "support/test_support.h"
#include "zentro.h"

namespace zentro::test {

// Writes the sensor-data file "small.sdat" in @dir: 64 x 32 Bayer pixels of 10 bits,
// 16-bit addresses and data, registers GAIN (0x3000, default 0x0010) and EXPOSURE
// (0x3002, default 0x0200). Returns its path.
inline std::string writeSmallSensor(const TempDir &dir)
{
    const std::string path = dir.file("small.sdat");
    writeFile(path, R"([CHIP_DESCRIPTOR]
SENSORNAME = "ZX0201"
WIDTH = 64
HEIGHT = 32
IMAGE_TYPE = BAYER
BITS_PER_CLOCK = 10
CLOCKS_PER_PIXEL = 1
SHIP_BASE_ADDRESS = 0x20
[END]
[OPTIONAL]
SDAT_VERSION = 2
REG_ADDR_SIZE = 16
REG_DATA_SIZE = 16
[END]
[REGISTERS]
GAIN = {0x3000, REG, 1, 0xFFFF, RW, 0x0010, "Gain" ""}
EXPOSURE = {0x3002, REG, 1, 0xFFFF, RW, 0x0200, "Exposure" ""}
[END]
)");
    return path;
}

// Null cameras opened on one file; whatever is still open is closed at scope end.
class NullCameras
{
public:
    explicit NullCameras(const std::string &path, int copies = 1)
    {
        for (int i = 0; i < copies; ++i) {
            ze_camera_t *opened[ZE_MAX_CAMERAS] = {};
            int count = 0;
            result = ze_OpenCameras2(opened, &count, path.c_str(), ZE_TRANSPORT_NUL, "");
            cameras.insert(cameras.end(), opened, opened + count);
        }
    }
    ~NullCameras() { ze_CloseCameras2(cameras.data(), int(cameras.size())); }
    NullCameras(const NullCameras &) = delete;
    NullCameras &operator=(const NullCameras &) = delete;

    ze_camera_t *operator[](size_t i) const { return cameras.at(i); }
    // Closes camera @i now.
    void close(size_t i)
    {
        ze_CloseCameras2(&cameras.at(i), 1);
        cameras.erase(cameras.begin() + long(i));
    }

    int result = 0;
    std::vector<ze_camera_t *> cameras;
};

} // namespace zentro::test

#endif // ZENTRO_TESTS_CAMERA_CAMERA_TEST_SUPPORT_H
