// Fuzz target: the family list ("familyList.txt") over arbitrary file contents.
#include <cstdint>
#include <cstring>
#include <string>

#include "identify/family_list.h"
#include "scratch_directory.h"
#include "sensor_data/sensor_record.h"

namespace {

// Part numbers the corpus files name, and awkward ones.
const char *const kPartNumbers[] = {"ZX0201", "ZX0016-CAA", "", "#", "ZX0201 rev 2"};

// A record field must stay terminated within its size whatever the file holds.
bool terminated(const char *field)
{
    return memchr(field, '\0', ZE_TEXT_SIZE) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path =
        fuzz::ScratchDirectory::get("family_list_fuzz").write("familyList.txt", data, size);
    for (const char *partNumber : kPartNumbers) {
        ze_sensor_t sensor{};
        zentro::copyText(sensor.partNumber, partNumber);
        const bool found = zentro::lookUpFamily(&sensor, path);
        // A match always has a family; a failed lookup leaves neither family nor features.
        if (!terminated(sensor.familyName) || !terminated(sensor.features) ||
            found != (sensor.familyName[0] != '\0') || (!found && sensor.features[0] != '\0'))
            __builtin_trap();
    }
    return 0;
}
