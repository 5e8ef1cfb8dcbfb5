// The calibration PROM of a head board: reading its bytes and finding its records.
#ifndef ZENTRO_PRESETS_PROM_H
#define ZENTRO_PRESETS_PROM_H

#include <cstdint>
#include <optional>
#include <vector>

#include "zentro_camera.h"

namespace zentro::presets {

// Record types of the PROM.
enum PromRecordType : uint8_t {
    kPromLensCalibration = 8,
    kPromSensorId = 10,
    kPromHeadboardId = 11,
    kPromColorCorrection = 12,
    kPromLensType = 15,
    kPromTimeStamp = 16,
    kPromScratchpad = 17,
    kPromEndOfList = 255,
};

inline constexpr uint32_t kPromRecordHeaderSize = 3; // type, length (u16)
inline constexpr uint32_t kPromRecordNameSize = 9;   // NUL-terminated, at most 8 characters

struct PromRecord {
    uint32_t offset; // of the record header
    uint32_t length; // of the payload
};

// Reads @count bytes at @offset of the PROM at 8-bit bus address @address. Returns the
// register-access result; the bytes are valid only on success.
int readPromBytes(ze_camera_t *camera, uint32_t address, uint32_t offset, uint32_t count,
                  std::vector<uint8_t> &bytes);

// The first record of @type (and name @name, compared case-insensitively, when not null);
// nothing when the PROM has no valid header, no such record, or cannot be read.
std::optional<PromRecord> findPromRecord(ze_camera_t *camera, uint32_t address, uint8_t type,
                                         const char *name);

// The payload of the first record of @type as text in @text (@size bytes, terminated, cut).
// Returns 0, or 1 with @text empty.
int readPromText(ze_camera_t *camera, uint32_t address, uint8_t type, char *text, uint32_t size);

} // namespace zentro::presets

#endif // ZENTRO_PRESETS_PROM_H
