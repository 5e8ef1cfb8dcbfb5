// The tests of one identification group, run once the chip version matched.
#ifndef ZENTRO_IDENTIFY_GROUP_TESTS_H
#define ZENTRO_IDENTIFY_GROUP_TESTS_H

#include "sensor_data/ident_data.h"
#include "zentro_camera.h"

namespace zentro {

// The reset-if test: pulses the sensor reset when the register's field differs from the
// expected values (or from its default). True when it pulsed.
bool runResetIfTest(ze_camera_t *camera, const IdentGroup &group);
// The extra-descriptor test: the register's field equals its default or a listed value.
// A zero mask becomes the register's own mask in @group.
bool extraDescriptorPasses(ze_camera_t *camera, IdentGroup &group);
// The version-read test of group @index, with the group's version writes in force.
bool versionReadsPass(ze_camera_t *camera, int index);
// The extra-serial test: devices on the serial bus answer (or stay silent) as listed.
bool extraSerialPasses(ze_camera_t *camera, const IdentGroup &group);

// Group @index matches: its reset-if test runs (*@resetDone set when it pulsed), then its
// extra-descriptor, version-read and extra-serial tests must all pass.
bool groupMatches(ze_camera_t *camera, int index, bool *resetDone);

} // namespace zentro

#endif // ZENTRO_IDENTIFY_GROUP_TESTS_H
