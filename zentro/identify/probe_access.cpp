// What identification's tests share: register fields, reads by name and on the serial bus,
// the address-space selection kept across reads, the absent-address map and reset pulses.
#include "identify/probe_access.h"

#include <bit>

#include "camera/context.h"
#include "registers/cache.h"
#include "registers/lookup.h"
#include "registers/transfer.h"
#include "zentro_errors.h"
#include "zentro_modes.h"
#include "zentro_reg_access.h"

namespace zentro {

namespace {

constexpr uint32_t kDefaultSerialDataBits = 16;

uint32_t lowestBit(uint32_t mask)
{
    return static_cast<uint32_t>(std::countr_zero(mask));
}

bool routedToSpi(ze_camera_t *camera)
{
    uint32_t value = 0;
    return ze_getMode(camera, ZE_SHIP_TO_SPI, &value) == CAMERA_SUCCESS && value == 1;
}

// Writes @value to the select register at @selectAddr when the cache says the sensor has
// another page selected now.
void selectAgain(ze_camera_t *camera, uint32_t selectAddr, uint32_t value, uint32_t now,
                 void (*remember)(ze_camera_t *, uint32_t))
{
    if (selectAddr == 0 || value == kNoCachedSelect || value == now)
        return;
    if (transferWriteRegister(camera, camera->sensor->shipBaseAddr, selectAddr, value) ==
        CAMERA_SUCCESS)
        remember(camera, value);
}

} // namespace

uint32_t fieldOf(uint32_t value, uint32_t mask)
{
    return mask == 0 ? 0 : (value & mask) >> lowestBit(mask);
}

uint32_t withField(uint32_t value, uint32_t mask, uint32_t field)
{
    if (mask == 0)
        return value;
    // The field is placed, not masked again: bits above the mask land where they land.
    return (value & ~mask) | (field << lowestBit(mask));
}

bool isOneOf(uint32_t field, const uint32_t *values, int32_t count)
{
    for (int32_t i = 0; i < count && i < kMaxIdentValues; ++i) {
        if (values[i] == field)
            return true;
    }
    return false;
}

int readRegisterNamed(ze_camera_t *camera, const char *name, uint32_t *value, ze_reg_t **reg)
{
    *value = 0;
    ze_reg_t *found = findSensorRegister(camera, name);
    if (reg)
        *reg = found;
    if (!found)
        return CAMERA_ERROR;
    return ze_ReadSensorReg(camera, found, value);
}

int readSerialRegister(ze_camera_t *camera, const IdentSerialTest &test, uint32_t *value)
{
    *value = 0;
    const uint32_t dataBits = test.dataSize ? test.dataSize : kDefaultSerialDataBits;
    ScopedTransferFormat format(camera, test.addrSize, dataBits, test.dataLE);
    return ze_readRegisters(camera, test.base, test.regAddr, 1, value);
}

bool isAddressAbsent(ze_camera_t *camera, uint32_t address)
{
    return camera->context->ident.isMarkedAbsent(address) && !routedToSpi(camera);
}

void markAddressAbsent(ze_camera_t *camera, uint32_t address)
{
    camera->context->ident.markAbsent(address);
}

void pulseSensorReset(ze_camera_t *camera)
{
    ze_setMode(camera, ZE_SENSOR_RESET, 1);
    ze_setMode(camera, ZE_SENSOR_RESET, 0);
}

SpaceSelectionKeeper::SpaceSelectionKeeper(ze_camera_t *camera)
    : camera_(camera), read_(cachedReadSelect(camera)), write_(cachedWriteSelect(camera))
{
}

SpaceSelectionKeeper::~SpaceSelectionKeeper()
{
    const ze_addr_space_list_t *table = camera_->sensor ? camera_->sensor->addrSpaces : nullptr;
    if (!table)
        return;
    RegisterLockGuard lock(camera_);
    const ze_sensor_t *sensor = camera_->sensor;
    ScopedTransferFormat format(camera_, sensor->regAddrSize, sensor->regDataSize,
                                sensor->regDataLE);
    selectAgain(camera_, table->readSelectAddr, read_, cachedReadSelect(camera_),
                setCachedReadSelect);
    if (table->writeSelectAddr != table->readSelectAddr)
        selectAgain(camera_, table->writeSelectAddr, write_, cachedWriteSelect(camera_),
                    setCachedWriteSelect);
}

} // namespace zentro
