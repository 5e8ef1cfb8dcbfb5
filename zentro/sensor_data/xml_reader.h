// The XML readers: sensor-data files (".xsdat", handed over by the text reader) and
// long-description files (".ldat"), and the description-note lists they fill.
#ifndef ZENTRO_SENSOR_DATA_XML_READER_H
#define ZENTRO_SENSOR_DATA_XML_READER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zentro_camera.h"
#include "zentro_sensor.h"

namespace zentro {

// Reads the XML sensor-data file @path into @sensor, which the caller has reset, and runs
// the finishing steps of a good read. Returns PARSE_SUCCESS or a library error code.
int readXmlSensorFile(ze_camera_t *camera, const char *path, ze_sensor_t *sensor);

// Reads the long descriptions and confidential notes of the long-description file @path
// into the camera's sensor record (appended to its lists). A file of another sensor adds
// nothing and still succeeds. Returns PARSE_SUCCESS, PARSE_FILE_ERROR (cannot be opened or
// no parser) or SENSOR_FILE_PARSE_ERROR (not well-formed).
int readLongDescFile(ze_camera_t *camera, const char *path);
// The long-description file of @sensor: its file name with the extension ".ldat".
std::string longDescPathOf(const ze_sensor_t *sensor);

// Description notes collected during a read, moved to a sensor's list at its end.
class PendingNotes
{
public:
    PendingNotes() = default;
    ~PendingNotes();
    PendingNotes(const PendingNotes &) = delete;
    PendingNotes &operator=(const PendingNotes &) = delete;

    // Adds a note on @regName (and @bitfieldName when not empty) with @text.
    void add(std::string_view regName, std::string_view bitfieldName, std::string_view text);
    bool empty() const { return notes_.empty(); }
    // Appends the notes to @list of @count entries and forgets them. False when memory runs
    // out (the list is then unchanged and the notes are freed).
    bool moveTo(ze_desc_note_t *&list, int32_t &count);

private:
    void clear();
    std::vector<ze_desc_note_t> notes_;
};

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_XML_READER_H
