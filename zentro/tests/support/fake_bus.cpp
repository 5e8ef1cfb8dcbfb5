// A recording fake serial bus behind a test camera's transport-level register slots.
#include "support/fake_bus.h"

#include <algorithm>
#include <stdexcept>

#include "camera/context.h"
#include "camera/generic_ops.h"
#include "registers/access.h"
#include "registers/cache.h"
#include "support/test_support.h"
#include "zentro_errors.h"
#include "zentro_reg.h"
#include "zentro_sensor_data.h"

namespace zentro::test {
namespace {

constexpr uint32_t kWideBits = 16;
constexpr uint32_t kFullBits = 32;
constexpr uint32_t kBitsPerByte = 8;

// A width of 0 (a mode never set) does not narrow a transfer.
uint32_t maskOfBits(uint32_t bits)
{
    return bits == 0 || bits >= kFullBits ? 0xFFFFFFFFu : (1u << bits) - 1;
}

// A transfer carries no more bits than the narrower of the device and the transfer.
uint32_t narrowerMask(uint32_t deviceBits, uint32_t transferBits)
{
    return maskOfBits(deviceBits) & maskOfBits(transferBits);
}

bool isSensorTransfer(TransferKind kind)
{
    return kind == TransferKind::ReadSensor || kind == TransferKind::WriteSensor;
}

uint32_t spaceTypeOf(const ze_reg_t &reg)
{
    return reg.addrSpace ? reg.addrSpace->type : ZE_SPACE_REG;
}

// ---- Transport-level slots ----

int busTransfer(ze_camera_t *camera, TransferKind kind, uint32_t where, uint32_t addr,
                uint32_t count, uint32_t *values)
{
    FakeBus *bus = FakeBus::of(camera);
    return bus ? bus->transfer(camera, kind, where, addr, count, values) : CAMERA_ERROR;
}

int readOne(ze_camera_t *camera, uint32_t busAddr, uint32_t addr, uint32_t *value)
{
    return busTransfer(camera, TransferKind::Read, busAddr, addr, 1, value);
}

int writeOne(ze_camera_t *camera, uint32_t busAddr, uint32_t addr, uint32_t value)
{
    return busTransfer(camera, TransferKind::Write, busAddr, addr, 1, &value);
}

int readMany(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
             uint32_t *values)
{
    return busTransfer(camera, TransferKind::ReadMany, busAddr, start, count, values);
}

int writeMany(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
              uint32_t *values)
{
    return busTransfer(camera, TransferKind::WriteMany, busAddr, start, count, values);
}

int readSensor(ze_camera_t *camera, uint32_t space, uint32_t start, uint32_t count,
               uint32_t *values)
{
    return busTransfer(camera, TransferKind::ReadSensor, space, start, count, values);
}

int writeSensor(ze_camera_t *camera, uint32_t space, uint32_t start, uint32_t count,
                uint32_t *values)
{
    return busTransfer(camera, TransferKind::WriteSensor, space, start, count, values);
}

int readSystem(ze_camera_t *camera, uint32_t systemKind, uint32_t id, uint32_t start, uint32_t bits,
               uint32_t count, uint32_t *values)
{
    FakeBus *bus = FakeBus::of(camera);
    return bus ? bus->systemTransfer(camera, TransferKind::ReadSystem, systemKind, id, start, bits,
                                     count, values)
               : CAMERA_ERROR;
}

int writeSystem(ze_camera_t *camera, uint32_t systemKind, uint32_t id, uint32_t start,
                uint32_t bits, uint32_t count, uint32_t *values)
{
    FakeBus *bus = FakeBus::of(camera);
    return bus ? bus->systemTransfer(camera, TransferKind::WriteSystem, systemKind, id, start, bits,
                                     count, values)
               : CAMERA_ERROR;
}

} // namespace

uint32_t FakeDevice::get(uint32_t addr, uint32_t inPage) const
{
    const auto found = registers.find({inPage, addr});
    return found == registers.end() ? 0 : found->second;
}

void FakeDevice::set(uint32_t addr, uint32_t value, uint32_t inPage)
{
    registers[{inPage, addr}] = value;
}

void FakeDevice::script(uint32_t addr, std::vector<uint32_t> values)
{
    scripts[addr].assign(values.begin(), values.end());
}

uint32_t FakeDevice::unitStep() const
{
    // Byte-addressed registers of two bytes each.
    return addrBits == kWideBits && dataBits == kWideBits ? 2 : 1;
}

bool Transfer::isRead() const
{
    return kind == TransferKind::Read || kind == TransferKind::ReadMany ||
           kind == TransferKind::ReadSensor || kind == TransferKind::ReadSystem;
}

FakeDevice &FakeBus::addDevice(uint32_t busAddr, uint32_t addrBits, uint32_t dataBits)
{
    std::lock_guard<std::mutex> guard(mutex_);
    FakeDevice &added = devices_[busAddr] = FakeDevice{};
    added.addrBits = addrBits;
    added.dataBits = dataBits;
    return added;
}

FakeDevice &FakeBus::addSensorDevice(ze_camera_t *camera)
{
    const ze_sensor_t *sensor = camera ? camera->sensor : nullptr;
    if (!sensor)
        throw std::logic_error("addSensorDevice: the camera has no sensor record");
    FakeDevice &sensorDevice =
        addDevice(sensor->shipBaseAddr, sensor->regAddrSize, sensor->regDataSize);
    // One select register pages both directions on the devices these tests model.
    if (sensor->addrSpaces && sensor->addrSpaces->readSelectAddr != 0)
        sensorDevice.pageSelectAddr = sensor->addrSpaces->readSelectAddr;
    for (int32_t i = 0; i < sensor->regCount; ++i) {
        const ze_reg_t &reg = sensor->regs[i];
        const uint32_t type = spaceTypeOf(reg);
        if (type == ZE_SPACE_MCU || type == ZE_SPACE_SFR) {
            sensorDevice.systemRegisters[{type, reg.addrSpaceId, reg.addr}] = reg.defaultValue;
            continue;
        }
        if (type != ZE_SPACE_REG)
            continue;
        const uint32_t span = std::max(reg.span, 1u);
        std::vector<uint32_t> units(span);
        _unpackValueBySpan(units.data(), reg.defaultValue, sensor->regDataSize, sensor->regDataLE,
                           span);
        const uint32_t page = sensorDevice.pageSelectAddr ? reg.addrSpaceId : 0;
        for (uint32_t u = 0; u < span; ++u)
            sensorDevice.set(reg.addr + u * sensorDevice.unitStep(), units[u], page);
    }
    return sensorDevice;
}

FakeDevice &FakeBus::device(uint32_t busAddr)
{
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = devices_.find(busAddr);
    if (found == devices_.end())
        throw std::out_of_range("no fake device at bus address " + std::to_string(busAddr));
    return found->second;
}

void FakeBus::install(ze_camera_t *camera, FakeBusSlots slots)
{
    ze_common_context_t *context = camera->context;
    // The library never reads a camera's device context; the bus finds itself there.
    context->deviceContext = this;
    ze_transport_ops &ops = context->ops;
    ops.readRegister = readOne;
    ops.writeRegister = writeOne;
    ops.readRegisters = readMany;
    ops.writeRegisters = writeMany;
    ops.readSensorRegisters = slots.sensorRegisters ? readSensor : _def_ReadSensorRegisters;
    ops.writeSensorRegisters = slots.sensorRegisters ? writeSensor : _def_WriteSensorRegisters;
    ops.readSystemRegisters = slots.systemRegisters ? readSystem : nullptr;
    ops.writeSystemRegisters = slots.systemRegisters ? writeSystem : nullptr;

    camera->readSensorRegisters = zentro::genericReadSensorRegisters;
    camera->writeSensorRegisters = zentro::genericWriteSensorRegisters;
    camera->readRegister = zentro::genericReadRegister;
    camera->writeRegister = zentro::genericWriteRegister;
    camera->readRegisters = zentro::genericReadRegisters;
    camera->writeRegisters = zentro::genericWriteRegisters;
}

FakeBus *FakeBus::of(ze_camera_t *camera)
{
    if (!camera || !camera->context)
        return nullptr;
    return static_cast<FakeBus *>(camera->context->deviceContext);
}

std::vector<Transfer> FakeBus::transfers() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return log_;
}

std::vector<Transfer> FakeBus::transfers(TransferKind kind) const
{
    std::vector<Transfer> ofKind;
    for (const Transfer &entry : transfers()) {
        if (entry.kind == kind)
            ofKind.push_back(entry);
    }
    return ofKind;
}

void FakeBus::clearLog()
{
    std::lock_guard<std::mutex> guard(mutex_);
    log_.clear();
}

FakeDevice *FakeBus::acknowledging(uint32_t busAddr)
{
    const auto found = devices_.find(busAddr);
    if (found == devices_.end() || !found->second.answers)
        return nullptr;
    FakeDevice &reached = found->second;
    if (reached.nacksLeft > 0) {
        --reached.nacksLeft;
        return nullptr;
    }
    return &reached;
}

void FakeBus::record(const ze_thread_settings_t &settings, Transfer entry, const uint32_t *values)
{
    entry.addrSize = settings.regAddrSize;
    entry.dataSize = settings.regDataSize;
    entry.dataLE = settings.regDataLE;
    entry.values.assign(values, values + entry.count);
    log_.push_back(std::move(entry));
}

int FakeBus::transfer(ze_camera_t *camera, TransferKind kind, uint32_t where, uint32_t addr,
                      uint32_t count, uint32_t *values)
{
    if (!values && count > 0)
        return CAMERA_ERROR;
    const ze_thread_settings_t settings = zentro::threadSettings(camera);
    const bool sensorTransfer = isSensorTransfer(kind);
    if (sensorTransfer && !camera->sensor)
        return SENSOR_NOT_INITIALIZED;
    const uint32_t busAddr = sensorTransfer ? camera->sensor->shipBaseAddr : where;
    const Transfer entry{kind, where, addr, count, {}, CAMERA_SUCCESS, 0, 0, 0, 0, 0};

    std::lock_guard<std::mutex> guard(mutex_);
    FakeDevice *target = acknowledging(busAddr);
    if (!target) {
        if (entry.isRead())
            std::fill(values, values + count, kFailedReadJunk);
        Transfer failed = entry;
        failed.result = I2C_NACK_ERROR;
        record(settings, failed, values);
        return I2C_NACK_ERROR;
    }
    const uint32_t addrMask = narrowerMask(target->addrBits, settings.regAddrSize);
    const uint32_t dataMask = narrowerMask(target->dataBits, settings.regDataSize);
    // Sensor-register transfers name their page; raw ones reach the page selected last.
    const uint32_t transferPage = sensorTransfer && target->pageSelectAddr ? where : target->page;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t unitAddr = (addr + i * target->unitStep()) & addrMask;
        const bool isPageSelect = target->pageSelectAddr == unitAddr;
        const uint32_t page = isPageSelect ? 0 : transferPage;
        if (entry.isRead()) {
            const auto script = target->scripts.find(unitAddr);
            if (script == target->scripts.end() || script->second.empty()) {
                values[i] = target->get(unitAddr, page) & dataMask;
            } else {
                values[i] = script->second.front() & dataMask;
                script->second.pop_front();
            }
        } else {
            target->set(unitAddr, values[i] & dataMask, page);
            if (isPageSelect)
                target->page = values[i] & dataMask;
        }
    }
    record(settings, entry, values);
    return CAMERA_SUCCESS;
}

int FakeBus::systemTransfer(ze_camera_t *camera, TransferKind kind, uint32_t systemKind,
                            uint32_t id, uint32_t addr, uint32_t bits, uint32_t count,
                            uint32_t *values)
{
    if (!values && count > 0)
        return CAMERA_ERROR;
    if (!camera->sensor)
        return SENSOR_NOT_INITIALIZED;
    const ze_thread_settings_t settings = zentro::threadSettings(camera);
    Transfer entry{kind, id, addr, count, {}, CAMERA_SUCCESS, systemKind, bits, 0, 0, 0};

    std::lock_guard<std::mutex> guard(mutex_);
    FakeDevice *target = acknowledging(camera->sensor->shipBaseAddr);
    if (!target) {
        if (entry.isRead())
            std::fill(values, values + count, kFailedReadJunk);
        entry.result = I2C_NACK_ERROR;
        record(settings, entry, values);
        return I2C_NACK_ERROR;
    }
    const uint32_t step = std::max(bits / kBitsPerByte, 1u);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t &stored = target->systemRegisters[{systemKind, id, addr + i * step}];
        if (entry.isRead())
            values[i] = stored & maskOfBits(bits);
        else
            stored = values[i] & maskOfBits(bits);
    }
    record(settings, entry, values);
    return CAMERA_SUCCESS;
}

int loadSensorText(ze_camera_t *camera, const TempDir &dir, const std::string &text,
                   const std::string &name)
{
    const std::string path = dir.file(name);
    writeFile(path, text);
    return loadSensorFile(camera, path);
}

int loadSensorFile(ze_camera_t *camera, const std::string &path)
{
    const int result = ze_ParseSensorFile(camera, path.c_str(), nullptr);
    if (result == PARSE_SUCCESS)
        zentro::buildRegisterCache(camera);
    return result;
}

const char *const kPagedSensorHead = R"([CHIP_DESCRIPTOR]
SENSORNAME = "ZX0016"
WIDTH = 64
HEIGHT = 32
IMAGE_TYPE = BAYER
BITS_PER_CLOCK = 10
CLOCKS_PER_PIXEL = 1
SHIP_BASE_ADDRESS = 0x90
[END]
[OPTIONAL]
SDAT_VERSION = 2
REG_ADDR_SIZE = 8
REG_DATA_SIZE = 16
[END]
[ADDR_SPACE]
CORE = {REG, 0, "Page 0"}
IFP = {REG, 1, "Page 1"}
[END]
)";

} // namespace zentro::test
