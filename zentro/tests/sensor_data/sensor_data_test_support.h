// Fixture of the sensor-data reader tests: a camera, a scratch directory and the captured log.
#ifndef ZENTRO_TESTS_SENSOR_DATA_SENSOR_DATA_TEST_SUPPORT_H
#define ZENTRO_TESTS_SENSOR_DATA_SENSOR_DATA_TEST_SUPPORT_H

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "zentro.h"

namespace zentro::test {

// A descriptor section that passes every check: sensor ZX0201 at bus address 0x20.
extern const char *const kDescriptor;
// kDescriptor followed by an OPTIONAL section with SDAT_VERSION = 2 and a one-space table.
extern const char *const kVersion2Head;

class SensorFileTest : public ::testing::Test
{
protected:
    // Writes @contents to @name in the scratch directory; returns its path.
    std::string write(const std::string &name, const std::string &contents);
    // Writes @contents to @name and reads it into the camera's own sensor record.
    int parse(const std::string &contents, const std::string &name = "sensor.sdat");

    ze_sensor_t *sensor() { return camera->sensor; }
    // The register or space called @name (exact case), or nullptr.
    const ze_reg_t *reg(const char *name);
    const ze_addr_space_t *space(const char *name);
    // The message a syntax error of @text on line @line of the last file gives.
    std::string syntaxMessage(const std::string &text, int line) const;
    // The line that closes the log of a failed read of the last file.
    std::string failedFileMessage() const;
    // Error lines of the log (codes and messages), in order.
    std::vector<std::string> errorMessages() const;
    std::vector<int> errorCodes() const;

    TempDir dir;
    TestCamera camera;
    LogCapture log;
    std::string lastPath;
};

} // namespace zentro::test

#endif // ZENTRO_TESTS_SENSOR_DATA_SENSOR_DATA_TEST_SUPPORT_H
