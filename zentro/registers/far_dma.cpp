// Far registers through the DMA engine of the advanced-base sensor families.
#include <algorithm>

#include "registers/access.h"
#include "registers/far_regs.h"
#include "registers/lookup.h"

namespace {

constexpr uint32_t kByteBits = 8;
constexpr uint32_t kNarrowAddrBits = 8;
// One request moves at most 64 bytes; wider requests are cut to that.
constexpr uint32_t kMaxBytes = 64;
constexpr uint32_t kMaxRequestBits = 519;
// Control word: register address in bits 0-15, far base in 16-23, bit 24 for far
// addresses wider than 8 bits, bit 25 for 2-byte units.
constexpr uint32_t kAddrMask = 0xFFFF;
constexpr uint32_t kBaseShift = 16;
constexpr uint32_t kBaseMask = 0xFF;
constexpr uint32_t kWideAddrFlag = 1u << 24;
constexpr uint32_t kWideUnitFlag = 1u << 25;
// DMA_CTRL commands and its busy bits.
constexpr uint32_t kReadCommand = 0x32;
constexpr uint32_t kWriteCommand = 0x301;
constexpr uint32_t kBusyMask = 0x7;
constexpr uint32_t kPolls = 50;
constexpr uint32_t kSelectBytes = 2;
// The data sit in the top bytes of DMA_DST (read) and DMA_SRC (write).
constexpr uint32_t kTopByteShift = 24;
constexpr uint32_t kTopWordShift = 16;
constexpr uint32_t kByteMask = 0xFF;
constexpr uint32_t kWordMask = 0xFFFF;

struct DmaRegisters {
    ze_reg_t *src, *dst, *size, *ctrl;
    bool complete() const { return src && dst && size && ctrl; }
};

DmaRegisters dmaRegistersOf(ze_camera_t *camera)
{
    return {zentro::findSensorRegister(camera, "DMA_SRC"),
            zentro::findSensorRegister(camera, "DMA_DST"),
            zentro::findSensorRegister(camera, "DMA_SIZE"),
            zentro::findSensorRegister(camera, "DMA_CTRL")};
}

uint32_t unitBytes(const zentro::FarTarget &target)
{
    return target.dataBits > kByteBits ? 2 : 1;
}

uint32_t controlWord(const zentro::FarTarget &target, uint32_t addr, uint32_t bytes)
{
    return (addr & kAddrMask) | ((target.base & kBaseMask) << kBaseShift) |
           (target.addrBits > kNarrowAddrBits ? kWideAddrFlag : 0) |
           (bytes == 2 ? kWideUnitFlag : 0);
}

uint32_t topBytes(uint32_t word, uint32_t bytes)
{
    return bytes == 2 ? (word >> kTopWordShift) & kWordMask : (word >> kTopByteShift) & kByteMask;
}

uint32_t toTopBytes(uint32_t value, uint32_t bytes)
{
    return bytes == 2 ? (value & kWordMask) << kTopWordShift : (value & kByteMask) << kTopByteShift;
}

// Starts one DMA command and waits until the engine is idle; an engine that stays busy
// means the far device is gone: it leaves the allow-list.
int runCommand(ze_camera_t *camera, const DmaRegisters &dma, const zentro::FarTarget &target,
               uint32_t src, uint32_t dst, uint32_t bytes, uint32_t command)
{
    int result = zentro::writeRegNolock(camera, dma.src, src);
    if (result == CAMERA_SUCCESS)
        result = zentro::writeRegNolock(camera, dma.dst, dst);
    if (result == CAMERA_SUCCESS)
        result = zentro::writeRegNolock(camera, dma.size, bytes);
    if (result == CAMERA_SUCCESS)
        result = zentro::writeRegNolock(camera, dma.ctrl, command);
    if (result != CAMERA_SUCCESS)
        return result;
    result = zentro::pollNamed(camera, dma.ctrl->name, kPolls,
                               [](uint32_t value) { return (value & kBusyMask) == 0; });
    if (result == CAMERA_TIMEOUT)
        camera->context->farAllowList.forbid(target.base);
    return result;
}

int writeUnit(ze_camera_t *camera, const DmaRegisters &dma, const zentro::FarTarget &target,
              uint32_t addr, uint32_t bytes, uint32_t value)
{
    return runCommand(camera, dma, target, toTopBytes(value, bytes),
                      controlWord(target, addr, bytes), bytes, kWriteCommand);
}

int readUnit(ze_camera_t *camera, const DmaRegisters &dma, const zentro::FarTarget &target,
             uint32_t addr, uint32_t bytes, uint32_t *value)
{
    const int result = runCommand(camera, dma, target, controlWord(target, addr, bytes),
                                  dma.dst->addr, bytes, kReadCommand);
    if (result != CAMERA_SUCCESS)
        return result;
    uint32_t word = 0;
    const int read = zentro::readRegHardwareNolock(camera, dma.dst, &word);
    *value = topBytes(word, bytes);
    return read;
}

// Far devices with pages select theirs through a register of their own.
int selectFarSpace(ze_camera_t *camera, const DmaRegisters &dma, const zentro::FarTarget &target)
{
    if (target.addrBits != kNarrowAddrBits || target.selectAddr == 0)
        return CAMERA_SUCCESS;
    return writeUnit(camera, dma, target, target.selectAddr, kSelectBytes, target.spaceId);
}

} // namespace

namespace zentro {

int dmaFarTransfer(ze_camera_t *camera, const FarTarget &target, uint32_t addr, uint32_t count,
                   uint32_t *units, bool write)
{
    const DmaRegisters dma = dmaRegistersOf(camera);
    if (!dma.complete())
        return CAMERA_ERROR;
    // The firmware revision is read before every request, as the engine's firmware expects;
    // the revisions known here all use the same commands.
    uint32_t revision = 0;
    readNamedNolock(camera, "FW_REVISION_NUMBER", &revision);
    int result = selectFarSpace(camera, dma, target);
    if (result != CAMERA_SUCCESS)
        return result;
    const uint32_t bytes = unitBytes(target);
    if (count * target.dataBits > kMaxRequestBits)
        count = kMaxBytes / bytes;
    const uint32_t step = bytes;
    for (uint32_t i = 0; i < count && result == CAMERA_SUCCESS; ++i) {
        const uint32_t at = addr + i * step;
        result = write ? writeUnit(camera, dma, target, at, bytes, units[i])
                       : readUnit(camera, dma, target, at, bytes, &units[i]);
    }
    return result;
}

} // namespace zentro
