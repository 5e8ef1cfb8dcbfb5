// Looking up long descriptions and confidential notes, reading the description file on
// first demand.
#include "zentro_long_desc.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "core/log.h"
#include "sensor_data/lexer.h"
#include "sensor_data/xml_reader.h"
#include "zentro_osal.h"

namespace zentro {

namespace {

constexpr int kFound = 0;
constexpr int kNotFound = 1;

// Lookups may read the description file into the sensor record: one at a time.
std::mutex gDescriptionMutex;

// Reads the description file once: when it is missing, broken or holds no long
// description, an empty placeholder entry marks the sensor as done.
void readDescriptionsOnce(ze_camera_t *camera)
{
    ze_sensor_t *sensor = camera->sensor;
    if (sensor->longDescCount > 0)
        return;
    const std::string path = longDescPathOf(sensor);
    // Most sensors have no description file: its absence is not worth a log line.
    if (osal_file_exists(path.c_str()))
        readLongDescFile(camera, path.c_str());
    if (sensor->longDescCount > 0)
        return;
    void *placeholder = calloc(1, sizeof(ze_desc_note_t));
    if (!placeholder)
        throw std::bad_alloc();
    free(sensor->longDescs);
    sensor->longDescs = static_cast<ze_desc_note_t *>(placeholder);
    sensor->longDescCount = 1;
}

bool entryMatches(const ze_desc_note_t &note, const char *bitfieldName)
{
    const bool wholeRegister = !bitfieldName || !*bitfieldName;
    if (wholeRegister)
        return !note.bitfieldName || !*note.bitfieldName;
    return note.bitfieldName && equalsNoCase(note.bitfieldName, bitfieldName);
}

// Entries of one register stand together: the search ends once they are passed.
int findNote(const ze_desc_note_t *notes, int32_t count, const char *regName,
             const char *bitfieldName, char *buffer, int size)
{
    bool inWantedRegister = false;
    for (int32_t i = 0; notes && i < count; ++i) {
        const ze_desc_note_t &note = notes[i];
        if (!note.regName)
            continue;
        if (!equalsNoCase(note.regName, regName)) {
            if (inWantedRegister)
                return kNotFound;
            continue;
        }
        inWantedRegister = true;
        if (!entryMatches(note, bitfieldName))
            continue;
        if (!note.text)
            return kNotFound;
        const size_t kept = strnlen(note.text, static_cast<size_t>(size) - 1);
        memcpy(buffer, note.text, kept);
        buffer[kept] = '\0';
        return kFound;
    }
    return kNotFound;
}

int lookUpNote(ze_camera_t *camera, const char *regName, const char *bitfieldName, char *buffer,
               int size, bool confidential)
{
    if (!buffer || size <= 1)
        return kNotFound;
    buffer[0] = '\0';
    if (!camera || !camera->sensor || !regName || !*regName)
        return kNotFound;
    try {
        std::lock_guard<std::mutex> lock(gDescriptionMutex);
        readDescriptionsOnce(camera);
        const ze_sensor_t *sensor = camera->sensor;
        return confidential ? findNote(sensor->confNotes, sensor->confNoteCount, regName,
                                       bitfieldName, buffer, size)
                            : findNote(sensor->longDescs, sensor->longDescCount, regName,
                                       bitfieldName, buffer, size);
    } catch (const std::bad_alloc &) {
        ZE_ERRORLOG(CAMERA_ERROR, "out of memory reading long descriptions");
        return kNotFound;
    }
}

} // namespace

} // namespace zentro

extern "C" {

ZE_API int ze_GetLongDescription(ze_camera_t *camera, const char *reg_name,
                                 const char *bitfield_name, char *buffer, int size)
{
    return zentro::lookUpNote(camera, reg_name, bitfield_name, buffer, size, false);
}

ZE_API int ze_GetConfidentialNotes(ze_camera_t *camera, const char *reg_name,
                                   const char *bitfield_name, char *buffer, int size)
{
    return zentro::lookUpNote(camera, reg_name, bitfield_name, buffer, size, true);
}

} // extern "C"
