// What the sensor-data fuzz targets share: a scratch directory with a far file beside the
// input, and inputs read as candidates of a sensor search whose identity check answers
// from the input's size, so that every reject path is reached.
#ifndef ZENTRO_FUZZ_SENSOR_FILE_PROBE_H
#define ZENTRO_FUZZ_SENSOR_FILE_PROBE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "camera/context.h"
#include "scratch_directory.h"
#include "sensor_data/early_identity_check.h"
#include "zentro.h"

namespace fuzz {

class SensorFileProbe
{
public:
    // Writes @farFile as @farName into the target's scratch directory (once) and installs
    // the identity check.
    SensorFileProbe(const char *target, const char *farName, std::string_view farFile)
        : directory_(ScratchDirectory::get(target))
    {
        directory_.write(farName, farFile.data(), farFile.size());
        zentro::setEarlyIdentityCheck(checkBySize);
    }

    // Writes the input as @name and sets the camera up as a search would for it.
    std::string prepare(ze_camera_t &camera, const char *name, const uint8_t *data, size_t size)
    {
        inputSize() = size;
        setProbeState(camera, size);
        return directory_.write(name, data, size);
    }

private:
    static constexpr uint32_t kWantedSizes[] = {0, 8, 16, 32};
    static constexpr size_t kProbeEvery = 7;

    static size_t &inputSize()
    {
        static size_t size = 0;
        return size;
    }

    static bool checkBySize(ze_camera_t *) { return inputSize() % 3 != 0; }

    // Some inputs are read as a candidate of a sensor search, with its wishes.
    static void setProbeState(ze_camera_t &camera, size_t size)
    {
        if (size % kProbeEvery != 0)
            return;
        zentro::IdentData &ident = camera.context->ident;
        ident.probing = 1;
        ident.socWish = static_cast<zentro::SocWish>(size / kProbeEvery % 3);
        ident.wantedAddrSize = kWantedSizes[size / kProbeEvery % 4];
        ident.absentMap[0] = static_cast<uint32_t>(size);
    }

    ScratchDirectory &directory_;
};

} // namespace fuzz

#endif // ZENTRO_FUZZ_SENSOR_FILE_PROBE_H
