// Version writes of an identification group: registers set (or waited for) before the
// version registers are read, and set back afterwards.
#ifndef ZENTRO_IDENTIFY_VERSION_WRITES_H
#define ZENTRO_IDENTIFY_VERSION_WRITES_H

#include "zentro_camera.h"

namespace zentro {

// Runs the version-write list of identification group @group: write entries save the
// register's value and set their field, wait entries poll for their value. The sensor's
// address-space selection is kept.
void runVersionWrites(ze_camera_t *camera, int group);
// Writes back the values the last runVersionWrites saved, last entry first, and forgets
// them.
void restoreVersionWrites(ze_camera_t *camera);

// Runs the version writes of a group for its lifetime and restores them whatever happens.
class VersionWritesInForce
{
public:
    VersionWritesInForce(ze_camera_t *camera, int group) : camera_(camera)
    {
        runVersionWrites(camera, group);
    }
    ~VersionWritesInForce() { restoreVersionWrites(camera_); }
    VersionWritesInForce(const VersionWritesInForce &) = delete;
    VersionWritesInForce &operator=(const VersionWritesInForce &) = delete;

private:
    ze_camera_t *camera_;
};

} // namespace zentro

#endif // ZENTRO_IDENTIFY_VERSION_WRITES_H
