// Raw-frame routines: unswizzling, the deep-Bayer merge and 8-bit LSB-aligned repacking.
#include <algorithm>
#include <cstdint>

#include "camera/context.h"
#include "camera/pixel_sizes.h"
#include "zentro_errors.h"
#include "zentro_frame.h"
#include "zentro_modes.h"

namespace {

// ZE_SW_UNSWIZZLE_MODE values with their own meaning; any other non-zero value means
// swizzled byte pairs.
constexpr uint32_t kUnswizzleMergeDeepBayer = 0;
constexpr uint32_t kUnswizzleMsbAligned = 2;

// ZE_RX_TYPE values the routines distinguish.
constexpr uint32_t kRxTypeLsbAligned8 = 1;
constexpr uint32_t kRxTypeSwappedHalves = 3;

constexpr uint32_t kFilePlaybackSensorType = 36;
constexpr uint32_t kWordBits = 16;
constexpr uint32_t kDeepPixelBytes = 4;

// Frames are little-endian words, as the capture hardware writes them.
uint32_t loadWord16(const uint8_t *p)
{
    return p[0] | (p[1] << 8);
}

void storeWord16(uint8_t *p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

uint32_t loadWord32(const uint8_t *p)
{
    return loadWord16(p) | (loadWord16(p + 2) << 16);
}

void storeWord32(uint8_t *p, uint32_t value)
{
    storeWord16(p, value & 0xFFFF);
    storeWord16(p + 2, value >> 16);
}

// A byte pair (b0 = the high bits of the sample, b1 = its low bits in swizzled order)
// rewritten as the sample's little-endian 16-bit word.
struct BytePair {
    uint32_t b0;
    uint32_t b1;
};
using PairRule = BytePair (*)(BytePair in);

BytePair swizzled10(BytePair in)
{
    return {(in.b0 << 2) | (in.b1 & 3), in.b0 >> 6};
}

BytePair swizzled12(BytePair in)
{
    return {(in.b0 << 4) | ((in.b1 & 3) << 2) | ((in.b1 >> 2) & 3), in.b0 >> 4};
}

BytePair swizzled14(BytePair in)
{
    return {(in.b0 << 6) | ((in.b1 & 3) << 4) | (in.b1 & 12) | ((in.b1 >> 4) & 3), in.b0 >> 2};
}

BytePair swizzled16(BytePair in)
{
    return {(in.b1 << 6) | (in.b1 >> 6) | ((in.b1 << 2) & 48) | ((in.b1 >> 2) & 12), in.b0};
}

// One sample depth of the unswizzle: its swizzled-pair rule and whether the 16-bit
// halves of a four-byte pixel are then joined into one 20-bit value.
struct DepthRule {
    uint32_t sampleBits;
    PairRule pairRule;
    bool joinHalves;
};

// Joins the two 10-bit halves of a 32-bit pixel: low half in bits 0-9, high in 10-19.
uint32_t joinTenBitHalves(uint32_t w)
{
    return (w & 0x3FF) | ((w >> 6) & 0xFFC00);
}

void unswizzleWith(const DepthRule &rule, bool msbAligned, uint8_t *buffer, uint32_t size)
{
    const uint32_t shift = kWordBits - rule.sampleBits;
    for (uint32_t i = 0; i + 1 < size; i += 2) {
        uint8_t *pair = buffer + i;
        if (msbAligned) {
            storeWord16(pair, loadWord16(pair) >> shift);
        } else {
            BytePair out = rule.pairRule({pair[0], pair[1]});
            pair[0] = static_cast<uint8_t>(out.b0);
            pair[1] = static_cast<uint8_t>(out.b1);
        }
        // The second word of a four-byte pixel completes it.
        if (rule.joinHalves && i % kDeepPixelBytes == 2)
            storeWord32(pair - 2, joinTenBitHalves(loadWord32(pair - 2)));
    }
}

// The rule for the camera's bits per clock, or none when the frame is left as it is.
const DepthRule *depthRuleFor(const ze_camera_t *camera)
{
    static constexpr DepthRule k10{10, swizzled10, false};
    static constexpr DepthRule k10Deep{10, swizzled10, true};
    static constexpr DepthRule k12{12, swizzled12, false};
    static constexpr DepthRule k14{14, swizzled14, false};
    static constexpr DepthRule k16{16, swizzled16, false};

    const uint32_t bitsPerClock = zentro::cameraBitsPerClock(camera);
    const uint32_t clocksPerPixel = zentro::cameraClocksPerPixel(camera);
    switch (bitsPerClock) {
    case 8: {
        // Two 8-bit clocks carry one wider sample; the image type tells how wide.
        const uint32_t type = camera->sensor ? camera->sensor->imageType : 0;
        if (clocksPerPixel != 2)
            return nullptr;
        if (type == ZE_IMAGE_BAYER12)
            return &k12;
        if (type == ZE_IMAGE_BAYER10 || type == ZE_IMAGE_BAYER10_IHDR)
            return &k10;
        return nullptr;
    }
    case 10:
        return zentro::cameraPixelBytes(camera) == kDeepPixelBytes ? &k10Deep : &k10;
    case 12:
        return &k12;
    case 14:
        return &k14;
    case 16:
        return &k16;
    default:
        return nullptr;
    }
}

using WordRule = uint32_t (*)(uint32_t w);

void mergeWords(WordRule rule, uint8_t *buffer, uint32_t size)
{
    const uint32_t words = size / kDeepPixelBytes;
    for (uint32_t i = 0; i < words; ++i) {
        uint8_t *word = buffer + i * kDeepPixelBytes;
        storeWord32(word, rule(loadWord32(word)));
    }
}

uint32_t mergeSwappedTenBitHalves(uint32_t w)
{
    return ((w >> 16) & 0x3FF) | ((w & 0x3FF) << 10);
}

uint32_t mergeTwelveBitHalves(uint32_t w)
{
    return ((w & 0xFFF) << 12) | ((w >> 16) & 0xFFF);
}

uint32_t mergeFourteenBitHalves(uint32_t w)
{
    return ((w & 0x3FFF) << 14) | ((w >> 16) & 0x3FFF);
}

uint32_t mergeLsbAlignedSixteenBits(uint32_t w)
{
    return ((w & 0xFFFF) << 4) | ((w >> 16) & 15);
}

uint32_t mergeMsbAlignedSixteenBits(uint32_t w)
{
    return ((w & 0xFFFF) << 4) | (w >> 28);
}

// The merge rule for the camera, or none when the frame is left as it is.
WordRule mergeRuleFor(ze_camera_t *camera)
{
    const uint32_t bitsPerClock = zentro::cameraBitsPerClock(camera);
    if (bitsPerClock == 10) {
        if (!ze_IsBayer(camera))
            return nullptr;
        if (zentro::storedMode(camera, ZE_RX_TYPE) == kRxTypeSwappedHalves)
            return mergeSwappedTenBitHalves;
        return joinTenBitHalves;
    }
    if (bitsPerClock == 12)
        return mergeTwelveBitHalves;
    if (bitsPerClock == 14)
        return mergeFourteenBitHalves;
    if (bitsPerClock == 16) {
        if (zentro::storedMode(camera, ZE_LSB_ALIGNED) != 0)
            return mergeLsbAlignedSixteenBits;
        return mergeMsbAlignedSixteenBits;
    }
    return nullptr;
}

bool isFilePlayback(const ze_camera_t *camera)
{
    return camera->sensor && camera->sensor->sensorType == kFilePlaybackSensorType;
}

// Bytes of a whole frame: width x height x pixel bytes, but never more than the image
// bytes the caller sized the buffer from.
uint32_t wholeFrameBytes(const ze_sensor_t *sensor)
{
    const uint64_t frame = uint64_t{sensor->imageWidth} * sensor->imageHeight * sensor->pixelBytes;
    return static_cast<uint32_t>(std::min<uint64_t>(frame, sensor->imageBytes));
}

bool hasContext(const ze_camera_t *camera)
{
    return camera && camera->context;
}

// Samples to compact: one per clock of the frame, or the spoofed size for JPEG frames,
// but never more than half the image bytes (two bytes are read per sample).
uint64_t lsbAlignedSampleCount(const ze_camera_t *camera)
{
    const ze_sensor_t *sensor = camera->sensor;
    uint64_t count =
        uint64_t{sensor->imageWidth} * sensor->imageHeight * zentro::cameraClocksPerPixel(camera);
    if (ze_IsJpegImageType(sensor->imageType)) {
        const ze_shared_context_t *shared = camera->context->shared;
        count = shared ? uint64_t{shared->spoofWidth} * shared->spoofHeight : 0;
    }
    if (sensor->imageBytes < 2 * count)
        count = sensor->imageBytes / 2;
    return count;
}

} // namespace

extern "C" {

ZE_API int _unSwizzleBuffer2(ze_camera_t *camera, uint8_t *buffer, uint32_t size)
{
    if (!hasContext(camera) || !buffer)
        return CAMERA_ERROR;
    const uint32_t mode = zentro::storedMode(camera, ZE_SW_UNSWIZZLE_MODE);
    if (mode == kUnswizzleMergeDeepBayer)
        return _mergeDeepBayer2(camera, buffer, size);
    if (const DepthRule *rule = depthRuleFor(camera))
        unswizzleWith(*rule, mode == kUnswizzleMsbAligned, buffer, size);
    return CAMERA_SUCCESS;
}

ZE_API int _unSwizzleBuffer1(ze_camera_t *camera, uint8_t *buffer)
{
    if (!hasContext(camera) || !camera->sensor || !buffer)
        return CAMERA_ERROR;
    return _unSwizzleBuffer2(camera, buffer, wholeFrameBytes(camera->sensor));
}

ZE_API int _mergeDeepBayer2(ze_camera_t *camera, uint8_t *buffer, uint32_t size)
{
    if (!hasContext(camera) || !buffer)
        return CAMERA_ERROR;
    if (zentro::cameraClocksPerPixel(camera) != 2 || isFilePlayback(camera))
        return CAMERA_SUCCESS;
    if (WordRule rule = mergeRuleFor(camera))
        mergeWords(rule, buffer, size);
    return CAMERA_SUCCESS;
}

ZE_API int _mergeDeepBayer1(ze_camera_t *camera, uint8_t *buffer)
{
    if (!hasContext(camera) || !camera->sensor || !buffer)
        return CAMERA_ERROR;
    return _mergeDeepBayer2(camera, buffer, wholeFrameBytes(camera->sensor));
}

ZE_API int _repackLsbAligned8(ze_camera_t *camera, uint8_t *buffer)
{
    constexpr uint32_t kMaxPackedClockBits = 8;
    if (!hasContext(camera) || !camera->sensor || !buffer)
        return CAMERA_ERROR;
    if (zentro::storedMode(camera, ZE_LSB_ALIGNED) == 0 ||
        zentro::cameraBitsPerClock(camera) > kMaxPackedClockBits ||
        zentro::storedMode(camera, ZE_RX_TYPE) != kRxTypeLsbAligned8)
        return CAMERA_SUCCESS;
    const uint64_t count = lsbAlignedSampleCount(camera);
    // Moving forward is safe in place: sample i is read from byte 2i >= i.
    for (uint64_t i = 0; i < count; ++i)
        buffer[i] = buffer[2 * i];
    return CAMERA_SUCCESS;
}

ZE_API int _unpackBayer6(ze_camera_t *camera, uint8_t *buffer)
{
    (void)camera;
    (void)buffer;
    return CAMERA_SUCCESS;
}

} // extern "C"
