// Reading many registers in few transfers: contiguous addresses are read as one block.
#pragma once

#include <cstdint>
#include <vector>

#include <zentro.h>

namespace zcli {

struct RegisterReading {
    uint32_t value = 0;
    int result = CAMERA_SUCCESS;
};

// Reads @regs (write-only ones are not read: result CAMERA_NOT_SUPPORTED). Plain registers of
// the sensor's own address spaces go in runs of consecutive addresses through the block read
// of the camera, one request per run; the others, and the members of a run that failed, are
// read one at a time. Results are in the order of @regs.
std::vector<RegisterReading> readRegisters(ze_camera_t *camera,
                                           const std::vector<ze_reg_t *> &regs);

// How many block reads the last readRegisters made (for the benchmark and the tests).
size_t lastBlockReadCount();

} // namespace zcli
