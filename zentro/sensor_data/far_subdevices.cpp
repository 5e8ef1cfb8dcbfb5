// Far sub-devices: the SUBDEVICES section, the far-sensor merge and re-reading a sensor file.
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "camera/context.h"
#include "core/log.h"
#include "sensor_data/sensor_paths.h"
#include "sensor_data/sensor_record.h"
#include "sensor_data/text_reader.h"
#include "zentro_config.h"
#include "zentro_osal.h"
#include "zentro_sensor_data.h"

namespace zentro {

namespace {

constexpr size_t kMaxFarNameLength = 79;
constexpr size_t kMaxKindLength = 39;
constexpr size_t kMaxFarFileLength = ZE_TEXT_SIZE - 1;
// Address-space kinds below this (REG, MCU, SFR) become the matching far kinds.
constexpr ze_addr_space_type_t kFirstNonNearSpace = ZE_SPACE_IND;
constexpr uint32_t kNarrowDataSize = 8;

// Depth of far-file reads in this thread: a far file's own SUBDEVICES are not followed.
thread_local int tFarReadDepth = 0;

class FarReadScope
{
public:
    FarReadScope() { ++tFarReadDepth; }
    ~FarReadScope() { --tFarReadDepth; }
    FarReadScope(const FarReadScope &) = delete;
    FarReadScope &operator=(const FarReadScope &) = delete;
};

// A camera of its own for reading a file without touching the live one.
class TemporaryCamera
{
public:
    TemporaryCamera() { ze_InitCameraContext(&camera_); }
    ~TemporaryCamera()
    {
        ze_DestructSensor(camera_.sensor);
        free(camera_.sensor);
        ze_FreeCameraContext(&camera_);
    }
    TemporaryCamera(const TemporaryCamera &) = delete;
    TemporaryCamera &operator=(const TemporaryCamera &) = delete;

    ze_camera_t *get() { return &camera_; }
    ze_sensor_t *sensor() { return camera_.sensor; }

private:
    ze_camera_t camera_{};
};

// Changes the working directory for the life of the object (nothing for an empty name).
class WorkingDirectoryChange
{
public:
    explicit WorkingDirectoryChange(const std::string &directory)
    {
        if (directory.empty() || osal_getcwd(saved_, sizeof(saved_)) <= 0)
            return;
        changed_ = osal_setcwd(directory.c_str()) == 1;
    }
    ~WorkingDirectoryChange()
    {
        if (changed_)
            osal_setcwd(saved_);
    }
    WorkingDirectoryChange(const WorkingDirectoryChange &) = delete;
    WorkingDirectoryChange &operator=(const WorkingDirectoryChange &) = delete;

private:
    char saved_[OSAL_MAX_PATH] = {};
    bool changed_ = false;
};

// Holds the camera's register lock and then its grab lock, when they exist.
class RegisterAndGrabLock
{
public:
    explicit RegisterAndGrabLock(ze_common_context_t *context)
        : regLock_(context->regLock.get()), grabLock_(context->grabLock.get())
    {
        if (regLock_)
            regLock_->lock();
        if (grabLock_)
            grabLock_->lock();
    }
    ~RegisterAndGrabLock()
    {
        if (grabLock_)
            grabLock_->unlock();
        if (regLock_)
            regLock_->unlock();
    }
    RegisterAndGrabLock(const RegisterAndGrabLock &) = delete;
    RegisterAndGrabLock &operator=(const RegisterAndGrabLock &) = delete;

private:
    CriticalSection *regLock_;
    CriticalSection *grabLock_;
};

int farIndex(uint32_t type)
{
    return type == ZE_SPACE_FAR1 ? 0 : 1;
}

const char *defaultFarName(ze_camera_t *camera, uint32_t type)
{
    if (type == ZE_SPACE_FAR2)
        return "FAR2";
    // A file-playback camera plays the sensor itself as its first far device.
    bool playback = camera->sensor && camera->sensor->sensorType == kTypeFilePlayback;
    return playback ? "SENSOR" : "FAR1";
}

std::string joinedName(std::string_view far, std::string_view own, char separator)
{
    std::string name(far);
    name += separator;
    name += own;
    return name;
}

ze_addr_space_list_t *createSingleSpaceTable()
{
    auto *table = static_cast<ze_addr_space_list_t *>(calloc(1, sizeof(ze_addr_space_list_t)));
    auto *space = static_cast<ze_addr_space_t *>(calloc(1, sizeof(ze_addr_space_t)));
    if (!table || !space) {
        free(table);
        free(space);
        return nullptr;
    }
    copyText(space->name, "REG");
    copyText(space->description, "Registers");
    space->type = ZE_SPACE_REG;
    table->spaces = space;
    table->count = 1;
    return table;
}

// Appends the far file's spaces (one plain space when it has none) to the main table.
bool appendFarSpaces(ze_sensor_t *main, const ze_sensor_t *far, std::string_view farName,
                     uint32_t type, uint32_t base)
{
    ze_addr_space_list_t *table = main->addrSpaces;
    const ze_addr_space_list_t *farTable = far->addrSpaces;
    const int32_t farCount = farTable ? farTable->count : 0;
    const int32_t appended = farCount > 0 ? farCount : 1;
    if (!resizeAddrSpaces(main, table->count + appended))
        return false;
    for (int32_t i = 0; i < appended; ++i) {
        ze_addr_space_t &space = table->spaces[table->count + i];
        memset(&space, 0, sizeof(space));
        if (farCount > 0) {
            const ze_addr_space_t &source = farTable->spaces[i];
            copyFittedText(space.name, joinedName(farName, source.name, '.'));
            copyFittedText(space.description, joinedName(farName, source.description, ' '));
            space.id = source.id;
            space.type = source.type < kFirstNonNearSpace ? source.type + type : source.type;
        } else {
            copyFittedText(space.name, joinedName(farName, "CORE", '.'));
            copyFittedText(space.description, joinedName(farName, "Registers", ' '));
            space.type = ZE_SPACE_REG + type;
        }
        space.farBase = base;
        space.farAddrSize = far->regAddrSize;
        space.farDataSize = far->regDataSize;
        space.farDataLE = far->regDataLE;
    }
    table->count += appended;
    if (farTable) {
        uint32_t &select = type == ZE_SPACE_FAR1 ? table->far1SelectAddr : table->far2SelectAddr;
        select = farTable->readSelectAddr;
    }
    return true;
}

bool skipsFarRegister(const ze_sensor_t *main, const ze_sensor_t *far, const ze_reg_t &reg)
{
    return main->sensorType == kTypeNarrowFarSkip && far->regDataSize == kNarrowDataSize &&
           reg.span == 1;
}

// Appends the far registers, renamed and pointed at the spaces appended from @firstSpace
// on; their bitfields change owner.
bool appendFarRegisters(ze_sensor_t *main, ze_sensor_t *far, std::string_view farName,
                        int32_t firstSpace)
{
    if (far->regCount <= 0)
        return true;
    const size_t room = static_cast<size_t>(main->regCount) + static_cast<size_t>(far->regCount);
    void *moved = realloc(main->regs, sizeof(ze_reg_t) * room);
    if (!moved)
        return false;
    main->regs = static_cast<ze_reg_t *>(moved);
    const ze_addr_space_t *farSpaces = far->addrSpaces ? far->addrSpaces->spaces : nullptr;
    ze_addr_space_t *appendedSpaces = main->addrSpaces->spaces + firstSpace;
    for (int32_t i = 0; i < far->regCount; ++i) {
        ze_reg_t &source = far->regs[i];
        if (skipsFarRegister(main, far, source))
            continue;
        ze_reg_t &reg = main->regs[main->regCount++];
        reg = source;
        copyFittedText(reg.name, joinedName(farName, source.name, '.'));
        reg.addrSpace = (farSpaces && source.addrSpace)
                            ? appendedSpaces + (source.addrSpace - farSpaces)
                            : appendedSpaces;
        source.bitfields = nullptr;
        source.bitfieldCount = 0;
    }
    return true;
}

// Keeps a copy of the far record (without registers and spaces) as far sensor 1 or 2.
bool storeFarCopy(ze_camera_t *camera, ze_sensor_t *main, ze_sensor_t *far,
                  const std::string &farName, uint32_t type, uint32_t base)
{
    auto *copy = static_cast<ze_sensor_t *>(malloc(sizeof(ze_sensor_t)));
    if (!copy)
        return false;
    *copy = *far;
    copy->shipBaseAddr = base;
    copy->regs = nullptr;
    copy->regCount = 0;
    copy->addrSpaces = nullptr;
    // The copy now owns the notes and descriptions the far record held.
    far->longDescs = nullptr;
    far->longDescCount = 0;
    far->confNotes = nullptr;
    far->confNoteCount = 0;
    far->farSensor1 = nullptr;
    far->farSensor2 = nullptr;
    ze_sensor_t *&slot = type == ZE_SPACE_FAR1 ? main->farSensor1 : main->farSensor2;
    if (slot) {
        ze_DestructSensor(slot);
        free(slot);
    }
    slot = copy;
    copyText(camera->context->farNames[farIndex(type)], kFarNameSize, farName.c_str());
    return true;
}

int mergeFarSensor(ze_camera_t *camera, ze_sensor_t *main, ze_sensor_t *far,
                   const std::string &farName, uint32_t type, uint32_t base)
{
    RegisterAndGrabLock lock(camera->context);
    if (main->sensorType != kTypeNoFarMerge) {
        if (!main->addrSpaces && !(main->addrSpaces = createSingleSpaceTable()))
            return ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate the address-space table");
        const int32_t firstSpace = main->addrSpaces->count;
        if (!appendFarSpaces(main, far, farName, type, base) ||
            !appendFarRegisters(main, far, farName, firstSpace)) {
            registersChanged(camera);
            return ZE_ERRORLOGF(CAMERA_ERROR, "Couldn't merge far sensor %s", farName.c_str());
        }
        registersChanged(camera);
    }
    if (!storeFarCopy(camera, main, far, farName, type, base))
        return ZE_ERRORLOGF(CAMERA_ERROR, "Couldn't store far sensor %s", farName.c_str());
    return PARSE_SUCCESS;
}

int parseFarSensorFile(ze_camera_t *camera, const char *name, uint32_t type, uint32_t base,
                       const char *path, ze_sensor_t *sensor)
{
    ze_sensor_t *main = sensor ? sensor : camera->sensor;
    if (!main)
        return ZE_ERRORLOGF(SENSOR_NOT_INITIALIZED, "no sensor record to merge far file %s into",
                            path);
    std::string farName = name ? name : defaultFarName(camera, type);
    TemporaryCamera temporary;
    int code;
    {
        FarReadScope farRead;
        // Far files are named relative to the main sensor's file.
        WorkingDirectoryChange directory(directoryOf(main->fileName));
        code = ze_ParseSensorFile(temporary.get(), normaliseSensorPath(path).c_str(), nullptr);
    }
    if (code != PARSE_SUCCESS)
        return code;
    return mergeFarSensor(camera, main, temporary.sensor(), farName, type, base);
}

struct SubdeviceLine {
    std::string_view name;
    uint32_t type;
    uint32_t base;
    std::string file;
};

// NAME = {KIND, BASE, FILE}
std::optional<SubdeviceLine> parseSubdeviceLine(std::string_view line)
{
    auto pair = splitKeyValue(line);
    if (!pair || pair->key.size() > kMaxFarNameLength)
        return std::nullopt;
    auto braces = splitBraceFields(pair->value, 2);
    if (!braces || braces->fields.size() != 2 || !braces->hasTail)
        return std::nullopt;
    std::string_view kind = braces->fields[0];
    auto base = parseInteger(braces->fields[1]);
    auto file = quotedText(braces->tail);
    if (kind.size() > kMaxKindLength || !base || !file || file->empty() ||
        file->size() > kMaxFarFileLength)
        return std::nullopt;
    uint32_t type;
    if (equalsNoCase(kind, "FAR1"))
        type = ZE_SPACE_FAR1;
    else if (equalsNoCase(kind, "FAR2"))
        type = ZE_SPACE_FAR2;
    else
        return std::nullopt;
    return SubdeviceLine{pair->key, type, *base, std::string(trimBlanks(*file))};
}

// The far name of the first register in a far space of @type: the text before its first
// "."; the context's far name when no register is there.
std::string farNameOf(ze_camera_t *camera, const ze_sensor_t *sensor, uint32_t type)
{
    for (int32_t i = 0; i < sensor->regCount; ++i) {
        const ze_addr_space_t *space = sensor->regs[i].addrSpace;
        if (!space)
            continue;
        bool inKind = type == ZE_SPACE_FAR1 ? isFar1Space(space->type) : isFar2Space(space->type);
        std::string_view name = sensor->regs[i].name;
        size_t dot = name.find('.');
        if (inKind && dot != std::string_view::npos)
            return std::string(name.substr(0, dot));
    }
    return camera->context->farNames[farIndex(type)];
}

// A far file to merge again after a refresh.
struct FarAgain {
    uint32_t type;
    std::string name;
    uint32_t base;
    std::string file;
};

std::optional<FarAgain> farToMergeAgain(ze_camera_t *camera, const ze_sensor_t *sensor,
                                        uint32_t type)
{
    const ze_sensor_t *copy = type == ZE_SPACE_FAR1 ? sensor->farSensor1 : sensor->farSensor2;
    if (!copy)
        return std::nullopt;
    return FarAgain{type, farNameOf(camera, sensor, type), copy->shipBaseAddr, copy->fileName};
}

void adoptRefreshedRecord(ze_camera_t *camera, ze_sensor_t *sensor, ze_camera_t *temporary)
{
    ze_sensor_t *fresh = temporary->sensor;
    // The old registers and spaces go with the temporary camera.
    std::swap(sensor->addrSpaces, fresh->addrSpaces);
    std::swap(sensor->regs, fresh->regs);
    std::swap(sensor->regCount, fresh->regCount);
    memcpy(sensor->name, fresh->name, sizeof(sensor->name));
    sensor->sensorType = fresh->sensorType;
    sensor->width = fresh->width;
    sensor->height = fresh->height;
    sensor->regAddrSize = fresh->regAddrSize;
    sensor->regDataSize = fresh->regDataSize;
    memcpy(sensor->fileName, fresh->fileName, sizeof(sensor->fileName));
    sensor->revisionNumber = fresh->revisionNumber;
    memcpy(sensor->revisionInfo, fresh->revisionInfo, sizeof(sensor->revisionInfo));
    sensor->sensorVersion = fresh->sensorVersion;
    memcpy(sensor->partNumber, fresh->partNumber, sizeof(sensor->partNumber));
    memcpy(sensor->versionName, fresh->versionName, sizeof(sensor->versionName));

    IdentData &ident = camera->context->ident;
    const IdentData &freshIdent = temporary->context->ident;
    ident.baseAddrCount = freshIdent.baseAddrCount;
    memcpy(ident.baseAddrs, freshIdent.baseAddrs, sizeof(ident.baseAddrs));
    ident.named[PartNumbers] = freshIdent.named[PartNumbers];
}

int refreshSensorFile(ze_camera_t *camera, const char *path)
{
    ze_sensor_t *sensor = camera->sensor;
    std::optional<FarAgain> fars[] = {farToMergeAgain(camera, sensor, ZE_SPACE_FAR1),
                                      farToMergeAgain(camera, sensor, ZE_SPACE_FAR2)};
    std::string file = pathBesideSensorFile(sensor, path);
    TemporaryCamera temporary;
    int code;
    {
        // The far files are merged again below from the far copies, not from the file.
        FarReadScope farRead;
        code = ze_ParseSensorFile(temporary.get(), file.c_str(), nullptr);
    }
    if (code != PARSE_SUCCESS)
        return code;
    {
        RegisterAndGrabLock lock(camera->context);
        adoptRefreshedRecord(camera, sensor, temporary.get());
        registersChanged(camera);
    }
    ze_Msglog(ZE_LOG_GENERAL, ("Refresh sensor data file " + file).c_str(), __FILE__, __func__,
              __LINE__);
    for (const std::optional<FarAgain> &far : fars) {
        if (!far)
            continue;
        code = ze_ParseFarSensorFile(camera, far->name.c_str(), far->type, far->base,
                                     far->file.c_str(), sensor);
        if (code != PARSE_SUCCESS)
            return code;
    }
    return PARSE_SUCCESS;
}

} // namespace

bool insideFarRead()
{
    return tFarReadDepth > 0;
}

int readSubdeviceSection(SensorFileReader &reader)
{
    // One level of nesting only; and without spaces there is nothing to merge into.
    const bool ignored = insideFarRead() || !reader.sensor->addrSpaces;
    bool failed = false;
    std::string_view line;
    while (reader.nextSectionLine(kSubdeviceLineLimit, line)) {
        if (ignored)
            continue;
        auto subdevice = parseSubdeviceLine(line);
        if (!subdevice) {
            reader.syntaxError(PARSE_REG_ERROR, line);
            failed = true;
            continue;
        }
        std::string name(subdevice->name);
        int code = ze_ParseFarSensorFile(reader.camera, name.c_str(), subdevice->type,
                                         subdevice->base, subdevice->file.c_str(), reader.sensor);
        if (code != PARSE_SUCCESS)
            return code;
    }
    return failed ? PARSE_REG_ERROR : PARSE_SUCCESS;
}

} // namespace zentro

extern "C" {

ZE_API int ze_ParseFarSensorFile(ze_camera_t *camera, const char *name, uint32_t type,
                                 uint32_t base, const char *path, ze_sensor_t *sensor)
{
    if (!camera || !path)
        return CAMERA_ERROR;
    if (type != ZE_SPACE_FAR1 && type != ZE_SPACE_FAR2)
        return PARSE_FILE_ERROR;
    if (!camera->context)
        return ZE_ERRORLOG(CAMERA_ERROR, "Must have a valid pCamera->context");
    try {
        return zentro::parseFarSensorFile(camera, name, type, base, path, sensor);
    } catch (const std::bad_alloc &) {
        return ZE_ERRORLOGF(CAMERA_ERROR, "out of memory merging far sensor file %s", path);
    }
}

ZE_API int ze_RefreshSensorFile(ze_camera_t *camera, const char *path)
{
    if (!camera || !camera->sensor || !path)
        return CAMERA_ERROR;
    if (!camera->context)
        return ZE_ERRORLOG(CAMERA_ERROR, "Must have a valid pCamera->context");
    try {
        return zentro::refreshSensorFile(camera, path);
    } catch (const std::bad_alloc &) {
        return ZE_ERRORLOGF(CAMERA_ERROR, "out of memory refreshing sensor file %s", path);
    }
}

} // extern "C"
