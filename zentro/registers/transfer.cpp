// Transfers through the camera context's operations, repeated while the bus does not acknowledge.
#include "registers/transfer.h"

#include <algorithm>

#include "camera/context.h"
#include "zentro_errors.h"
#include "zentro_modes.h"

namespace {

// Runs @transfer once and then again while it answers I2C_NACK_ERROR, at most the camera's
// NACK retry count more times: a device busy with an internal write does not acknowledge.
template <class Transfer>
int withNackRetry(ze_camera_t *camera, Transfer transfer)
{
    const uint32_t retries = zentro::storedMode(camera, ZE_NACK_RETRIES);
    int result = transfer();
    for (uint32_t attempt = 0; result == I2C_NACK_ERROR && attempt < retries; ++attempt)
        result = transfer();
    return result;
}

template <class Operation, class... Args>
int callWithRetry(ze_camera_t *camera, Operation operation, Args... args)
{
    if (!camera || !camera->context)
        return CAMERA_ERROR;
    if (!operation)
        return CAMERA_NOT_SUPPORTED;
    return withNackRetry(camera, [&] { return operation(camera, args...); });
}

// A failed read hands out nothing the transport may have left behind.
int clearedOnFailure(int result, uint32_t count, uint32_t *values)
{
    if (result != CAMERA_SUCCESS && values)
        std::fill(values, values + count, 0u);
    return result;
}

const ze_transport_ops *opsOf(const ze_camera_t *camera)
{
    return camera && camera->context ? &camera->context->ops : nullptr;
}

template <class Member>
auto operationOf(const ze_camera_t *camera, Member member)
{
    const ze_transport_ops *ops = opsOf(camera);
    return ops ? ops->*member : nullptr;
}

} // namespace

namespace zentro {

int transferReadRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t addr, uint32_t *value)
{
    const int result = callWithRetry(camera, operationOf(camera, &ze_transport_ops::readRegister),
                                     busAddr, addr, value);
    return clearedOnFailure(result, 1, value);
}

int transferWriteRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t addr, uint32_t value)
{
    return callWithRetry(camera, operationOf(camera, &ze_transport_ops::writeRegister), busAddr,
                         addr, value);
}

int transferReadRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                          uint32_t *values)
{
    const int result = callWithRetry(camera, operationOf(camera, &ze_transport_ops::readRegisters),
                                     busAddr, start, count, values);
    return clearedOnFailure(result, count, values);
}

int transferWriteRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                           uint32_t *values)
{
    return callWithRetry(camera, operationOf(camera, &ze_transport_ops::writeRegisters), busAddr,
                         start, count, values);
}

int transferReadSensorRegisters(ze_camera_t *camera, uint32_t space, uint32_t start, uint32_t count,
                                uint32_t *values)
{
    const int result =
        callWithRetry(camera, operationOf(camera, &ze_transport_ops::readSensorRegisters), space,
                      start, count, values);
    return clearedOnFailure(result, count, values);
}

int transferWriteSensorRegisters(ze_camera_t *camera, uint32_t space, uint32_t start,
                                 uint32_t count, uint32_t *values)
{
    return callWithRetry(camera, operationOf(camera, &ze_transport_ops::writeSensorRegisters),
                         space, start, count, values);
}

int transferReadSystemRegisters(ze_camera_t *camera, uint32_t kind, uint32_t id, uint32_t start,
                                uint32_t bits, uint32_t count, uint32_t *values)
{
    const int result =
        callWithRetry(camera, operationOf(camera, &ze_transport_ops::readSystemRegisters), kind, id,
                      start, bits, count, values);
    return clearedOnFailure(result, count, values);
}

int transferWriteSystemRegisters(ze_camera_t *camera, uint32_t kind, uint32_t id, uint32_t start,
                                 uint32_t bits, uint32_t count, uint32_t *values)
{
    return callWithRetry(camera, operationOf(camera, &ze_transport_ops::writeSystemRegisters), kind,
                         id, start, bits, count, values);
}

int transferSendCommand(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                        uint32_t e, uint32_t f, uint32_t g)
{
    return callWithRetry(camera, operationOf(camera, &ze_transport_ops::sendCommand), a, b, c, d, e,
                         f, g);
}

ScopedCacheMode::ScopedCacheMode(ze_camera_t *camera, uint32_t mode)
    : settings_(threadSettings(camera)), saved_(settings_.useRegCache)
{
    settings_.useRegCache = mode;
}

ScopedCacheMode::~ScopedCacheMode()
{
    settings_.useRegCache = saved_;
}

ScopedTransferFormat::ScopedTransferFormat(ze_camera_t *camera, uint32_t addrBits,
                                           uint32_t dataBits, uint32_t littleEndian)
    : settings_(threadSettings(camera)), saved_(settings_)
{
    settings_.regAddrSize = addrBits;
    settings_.regDataSize = dataBits;
    settings_.regDataLE = littleEndian;
}

ScopedTransferFormat::~ScopedTransferFormat()
{
    settings_.regAddrSize = saved_.regAddrSize;
    settings_.regDataSize = saved_.regDataSize;
    settings_.regDataLE = saved_.regDataLE;
}

} // namespace zentro

extern "C" {

ZE_API int ze_readRegister(ze_camera_t *camera, uint32_t bus_addr, uint32_t reg_addr,
                           uint32_t *value)
{
    if (!camera || !value)
        return CAMERA_ERROR;
    if (!camera->readRegister)
        return CAMERA_NOT_SUPPORTED;
    return camera->readRegister(camera, bus_addr, reg_addr, value);
}

ZE_API int ze_writeRegister(ze_camera_t *camera, uint32_t bus_addr, uint32_t reg_addr,
                            uint32_t value)
{
    if (!camera)
        return CAMERA_ERROR;
    if (!camera->writeRegister)
        return CAMERA_NOT_SUPPORTED;
    return camera->writeRegister(camera, bus_addr, reg_addr, value);
}

ZE_API int ze_readRegisters(ze_camera_t *camera, uint32_t bus_addr, uint32_t start, uint32_t count,
                            uint32_t *values)
{
    if (!camera || (!values && count > 0))
        return CAMERA_ERROR;
    if (!camera->readRegisters)
        return CAMERA_NOT_SUPPORTED;
    return camera->readRegisters(camera, bus_addr, start, count, values);
}

ZE_API int ze_writeRegisters(ze_camera_t *camera, uint32_t bus_addr, uint32_t start, uint32_t count,
                             uint32_t *values)
{
    if (!camera || (!values && count > 0))
        return CAMERA_ERROR;
    if (!camera->writeRegisters)
        return CAMERA_NOT_SUPPORTED;
    return camera->writeRegisters(camera, bus_addr, start, count, values);
}

} // extern "C"
