#include "register_commands.h"

#include <optional>
#include <vector>

#include "camera_table.h"
#include "request_values.h"

namespace qrb {

namespace {

// A register request whose common arguments were all accepted.
struct Target {
    ze_camera_t *camera = nullptr;
    quint32 shipAddr = 0;
    quint32 start = 0; // "regAddr" or "startAddr"
    quint32 addrSpace = 0;
};

// Access by bus address: the address and data widths come with every request and stay set
// for the command server's later requests.
std::optional<Target> busTarget(const QVariantMap &request, const char *addressKey)
{
    Target target{pCameraFromFunc(request)};
    quint32 addrSize = 0, dataSize = 0;
    if (!target.camera || !readU32Fields(request, {{"shipAddr", &target.shipAddr},
                                                   {addressKey, &target.start},
                                                   {"addrSize", &addrSize},
                                                   {"dataSize", &dataSize}}))
        return std::nullopt;
    ze_setMode(target.camera, ZE_REG_ADDR_SIZE, addrSize);
    ze_setMode(target.camera, ZE_REG_DATA_SIZE, dataSize);
    return target;
}

// Access through the sensor's address spaces, at the bus address given for the sensor.
std::optional<Target> sensorTarget(const QVariantMap &request)
{
    Target target{pCameraFromFunc(request)};
    if (!target.camera || !readU32Fields(request, {{"shipAddr", &target.shipAddr},
                                                   {"addrSpace", &target.addrSpace},
                                                   {"startAddr", &target.start}}))
        return std::nullopt;
    if (target.camera->sensor)
        target.camera->sensor->shipBaseAddr = target.shipAddr;
    return target;
}

// The buffer a read fills: "numRegs" zeros, nothing when the count is beyond the bound.
std::optional<std::vector<uint32_t>> readBuffer(const QVariantMap &request)
{
    const std::optional<quint32> count = readU32(request, "numRegs");
    if (!count || *count > kMaxRegisterCount)
        return std::nullopt;
    return std::vector<uint32_t>(*count, 0);
}

QVariantMap valuesReply(int result, const std::vector<uint32_t> &values)
{
    return {{QStringLiteral("retVal"), result}, {QStringLiteral("vals"), toVariantList(values)}};
}

std::optional<std::vector<uint32_t>> writeValues(const QVariantMap &request)
{
    return readU32List(request, "vals", kMaxRegisterCount);
}

using ManyCall = int (*)(ze_camera_t *, uint32_t, uint32_t, uint32_t, uint32_t *);

// Checks every argument before the first library call: a refused request changes nothing.
QVariantMap readMany(const std::optional<Target> &target,
                     std::optional<std::vector<uint32_t>> values, uint32_t selector, ManyCall call)
{
    if (!target || !values)
        return resultReply(kRefused);
    const int result = call(target->camera, selector, target->start,
                            static_cast<uint32_t>(values->size()), values->data());
    return valuesReply(result, *values);
}

QVariantMap writeMany(const std::optional<Target> &target,
                      std::optional<std::vector<uint32_t>> values, uint32_t selector, ManyCall call)
{
    if (!target || !values)
        return resultReply(kRefused);
    return resultReply(call(target->camera, selector, target->start,
                            static_cast<uint32_t>(values->size()), values->data()));
}

} // namespace

QVariantMap readRegister(const QVariantMap &request)
{
    const std::optional<Target> target = busTarget(request, "regAddr");
    if (!target)
        return resultReply(kRefused);
    uint32_t val = 0;
    const int result = ze_readRegister(target->camera, target->shipAddr, target->start, &val);
    return {{QStringLiteral("retVal"), result}, {QStringLiteral("val"), val}};
}

QVariantMap writeRegister(const QVariantMap &request)
{
    const std::optional<quint32> val = readU32(request, "val");
    const std::optional<Target> target = val ? busTarget(request, "regAddr") : std::nullopt;
    if (!target)
        return resultReply(kRefused);
    return resultReply(ze_writeRegister(target->camera, target->shipAddr, target->start, *val));
}

QVariantMap readRegisters(const QVariantMap &request)
{
    auto values = readBuffer(request);
    const auto target = values ? busTarget(request, "startAddr") : std::nullopt;
    return readMany(target, std::move(values), target ? target->shipAddr : 0, ze_readRegisters);
}

QVariantMap writeRegisters(const QVariantMap &request)
{
    auto values = writeValues(request);
    const auto target = values ? busTarget(request, "startAddr") : std::nullopt;
    return writeMany(target, std::move(values), target ? target->shipAddr : 0, ze_writeRegisters);
}

QVariantMap readSensorRegisters(const QVariantMap &request)
{
    auto values = readBuffer(request);
    const auto target = values ? sensorTarget(request) : std::nullopt;
    return readMany(target, std::move(values), target ? target->addrSpace : 0,
                    ze_readSensorRegisters);
}

QVariantMap writeSensorRegisters(const QVariantMap &request)
{
    auto values = writeValues(request);
    const auto target = values ? sensorTarget(request) : std::nullopt;
    return writeMany(target, std::move(values), target ? target->addrSpace : 0,
                     ze_writeSensorRegisters);
}

} // namespace qrb
