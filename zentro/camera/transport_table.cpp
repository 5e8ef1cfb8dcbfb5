// The transport table: opening, listing and closing cameras, and the probe-cancel flag.
#include "camera/transport_table.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "camera/context.h"
#include "core/log.h"
#include "osal/locks.h"
#include "registers/cache.h"
#include "sensor_data/sensor_paths.h"
#include "sensor_data/sensor_record.h"
#include "transport/nul_transport.h"
#include "transport/plugin_transport.h"
#include "transport/raw_playback.h"
#include "transport/unspecified_transports.h"
#include "zentro_config.h"
#include "zentro_modes.h"
#include "zentro_osal.h"
#include "zentro_plugin.h"

namespace {

// Probe order: a file given as sensor path is tried by the file transports first.
ze_transport_entry_t gTransports[] = {
    {ZE_TRANSPORT_RAW, 0, nullptr, nullptr, zentro::RAW_Transport_OpenCameras,
     zentro::RAW_Transport_CloseCameras},
    {ZE_TRANSPORT_IMAGE_FILE, 0, nullptr, nullptr, zentro::openNoCameras, zentro::closeNoCameras},
    {ZE_TRANSPORT_AVI, 0, nullptr, nullptr, zentro::openNoCameras, zentro::closeNoCameras},
    {ZE_TRANSPORT_USB, 0, nullptr, nullptr, zentro::openNoCameras, zentro::closeNoCameras},
    {ZE_TRANSPORT_DLL, 0, nullptr, nullptr, zentro::DLL_Transport_OpenCameras,
     zentro::DLL_Transport_CloseCameras},
    {ZE_TRANSPORT_NUL, 0, nullptr, nullptr, zentro::NUL_Transport_OpenCameras,
     zentro::NUL_Transport_CloseCameras},
};

// Guards the rows' camera arrays and counts. Held only for short bookkeeping, never across
// a transport call, so that it nests inside any camera lock.
std::mutex gTableMutex;
std::atomic<int> gOpenCount{0};

// Serialises transport scans of concurrent openers. Never destroyed: another thread may be
// waiting on it while the process ends.
zentro::CriticalSection &openLock()
{
    static auto *lock = new zentro::CriticalSection("mutex_ZentroOpenCameras");
    return *lock;
}

uint32_t gCancelProbe = 0;

void setCancelFlag(uint32_t value)
{
    std::atomic_ref<uint32_t>(gCancelProbe).store(value, std::memory_order_relaxed);
}

// Finishes freshly opened cameras: context names, locks, shared values, register cache.
void finishContexts(const ze_transport_entry_t &row, ze_camera_t **cameras, int count)
{
    for (int i = 0; i < count; ++i) {
        zentro::initGlobalContext(cameras[i]);
        if (!zentro::isFileTransportKind(row.kind))
            zentro::buildRegisterCache(cameras[i]);
    }
}

// Appends @count cameras to @row's array. False when memory runs out (nothing changed).
bool appendToRow(ze_transport_entry_t &row, ze_camera_t **cameras, int count)
{
    std::lock_guard<std::mutex> guard(gTableMutex);
    const size_t newCount = size_t(row.count) + size_t(count);
    auto *grown =
        static_cast<ze_camera_t **>(realloc(row.cameras, newCount * sizeof(ze_camera_t *)));
    if (!grown)
        return false;
    std::copy(cameras, cameras + count, grown + row.count);
    row.cameras = grown;
    row.count = int32_t(newCount);
    gOpenCount.fetch_add(count, std::memory_order_release);
    return true;
}

// Runs one row's open-cameras function into @slot (room for @room cameras) and registers
// what it found. Returns the row's result; *@found the cameras kept.
int openRow(ze_transport_entry_t &row, ze_camera_t **slot, int room, const char *path,
            const char *dllName, int *found)
{
    *found = 0;
    int result = row.openCameras(slot, room, found, path, dllName);
    *found = std::clamp(*found, 0, room);
    if (*found == 0)
        return result;
    finishContexts(row, slot, *found);
    if (!appendToRow(row, slot, *found)) {
        row.closeCameras(*found, slot);
        std::fill(slot, slot + *found, nullptr);
        *found = 0;
        return ZE_ERRORLOG(CAMERA_ERROR, "Couldn't record the opened cameras: out of memory");
    }
    return result;
}

// The scan over the transport table (under the open lock). Returns the running result.
int scanTransports(ze_camera_t **cameras, int &count, const char *path, uint32_t mask,
                   const char *dllName)
{
    zentro::CriticalSectionGuard guard(openLock());
    setCancelFlag(0);
    count = 0;
    int result = CAMERA_SUCCESS;
    for (ze_transport_entry_t &row : gTransports) {
        if ((row.kind & mask) == 0)
            continue;
        if (count >= ZE_MAX_CAMERAS)
            break;
        int found = 0;
        const int rowResult =
            openRow(row, cameras + count, ZE_MAX_CAMERAS - count, path, dllName, &found);
        count += found;
        if (count == 0)
            result = std::max(result, rowResult);
        // A file is played back by the first file transport that accepts it.
        if (found > 0 && zentro::isFileTransportKind(row.kind))
            break;
    }
    setCancelFlag(0);
    return result;
}

void finishOpenedCamera(ze_camera_t *camera)
{
    if (camera->sensor) {
        char fullPath[ZE_TEXT_SIZE];
        if (osal_fullpath(camera->sensor->fileName, fullPath, sizeof(fullPath)) == 1)
            zentro::copyText(camera->sensor->fileName, fullPath);
    }
    uint32_t simultaneous = 0;
    if (camera->getMode && camera->getMode(camera, ZE_SIMUL_REG_FRAMEGRAB, &simultaneous) == 0)
        camera->context->simultaneousGrab = simultaneous;
}

int openCameras(ze_camera_t **cameras, int &count, const char *sensorDir, uint32_t mask,
                const char *dllName)
{
    const std::string path = zentro::normaliseSensorPath(sensorDir ? sensorDir : ze_SensorData());
    const int result = scanTransports(cameras, count, path.c_str(), mask, dllName ? dllName : "");
    if (count == 0)
        return result;
    for (int i = 0; i < count; ++i)
        finishOpenedCamera(cameras[i]);
    ze_EnterThread();
    return CAMERA_SUCCESS;
}

// Takes @camera out of the row that holds it; nullptr when no row does.
ze_transport_entry_t *detachCamera(const ze_camera_t *camera)
{
    std::lock_guard<std::mutex> guard(gTableMutex);
    for (ze_transport_entry_t &row : gTransports) {
        ze_camera_t **end = row.cameras + row.count;
        ze_camera_t **at = std::find(row.cameras, end, camera);
        if (row.count == 0 || at == end)
            continue;
        std::move(at + 1, end, at);
        --row.count;
        gOpenCount.fetch_sub(1, std::memory_order_release);
        if (row.count == 0) {
            free(row.cameras);
            row.cameras = nullptr;
        }
        return &row;
    }
    return nullptr;
}

bool listedByFilter(const ze_camera_t *camera, const char *dllFilter)
{
    if (!dllFilter || !dllFilter[0] || camera->transportType != ZE_TRANSPORT_DLL)
        return true;
    const char *plugin = DLL_Transport_DllName(camera);
    return plugin && strstr(plugin, dllFilter) != nullptr;
}

} // namespace

namespace zentro {

int openCameraCount()
{
    return gOpenCount.load(std::memory_order_acquire);
}

void forEachOpenNonFileCamera(const std::function<void(int, ze_camera_t *)> &visit)
{
    std::lock_guard<std::mutex> guard(gTableMutex);
    int position = 0;
    for (const ze_transport_entry_t &row : gTransports) {
        if (isFileTransportKind(row.kind))
            continue;
        for (int32_t i = 0; i < row.count; ++i)
            visit(position++, row.cameras[i]);
    }
}

bool probeCancelled()
{
    return std::atomic_ref<uint32_t>(gCancelProbe).load(std::memory_order_relaxed) != 0;
}

} // namespace zentro

extern "C" {

ZE_API int ze_OpenCameras2(ze_camera_t **cameras, int *count, const char *sensor_dir,
                           uint32_t transport_mask, const char *dll_name)
{
    if (!cameras || !count)
        return CAMERA_ERROR;
    *count = 0;
    try {
        return openCameras(cameras, *count, sensor_dir, transport_mask, dll_name);
    } catch (const std::bad_alloc &) {
        return ZE_ERRORLOG(CAMERA_ERROR, "Couldn't open cameras: out of memory");
    }
}

ZE_API int ze_OpenCameras(ze_camera_t **cameras, int *count, const char *sensor_dir)
{
    return ze_OpenCameras2(cameras, count, sensor_dir, ZE_ALL_TRANSPORTS, "");
}

ZE_API int ze_CloseCameras2(ze_camera_t **cameras, int count)
{
    int result = CAMERA_SUCCESS;
    for (int i = 0; cameras && i < count; ++i) {
        ze_camera_t *camera = cameras[i];
        // Detached first, so no other thread finds the camera while it is being freed.
        ze_transport_entry_t *row = camera ? detachCamera(camera) : nullptr;
        if (!row)
            continue;
        zentro::forgetThreadSettings(camera);
        result = row->closeCameras(1, &camera);
    }
    if (zentro::openCameraCount() == 0)
        ze_ExitThread();
    return result;
}

ZE_API int ze_CloseCameras(void)
{
    struct Detached {
        ze_transport_entry_t *row;
        int count;
        ze_camera_t **cameras;
    } detached[std::size(gTransports)];
    size_t detachedRows = 0;
    {
        std::lock_guard<std::mutex> guard(gTableMutex);
        for (ze_transport_entry_t &row : gTransports) {
            if (row.count == 0)
                continue;
            detached[detachedRows++] = {&row, row.count, row.cameras};
            gOpenCount.fetch_sub(row.count, std::memory_order_release);
            row.cameras = nullptr;
            row.count = 0;
        }
    }
    int result = CAMERA_SUCCESS;
    for (size_t i = 0; i < detachedRows; ++i) {
        result = detached[i].row->closeCameras(detached[i].count, detached[i].cameras);
        free(detached[i].cameras);
    }
    ze_ExitThread();
    return result;
}

ZE_API int ze_GetCameras(ze_camera_t **cameras, int *count, uint32_t transport_mask,
                         const char *dll_filter)
{
    int listed = 0;
    {
        std::lock_guard<std::mutex> guard(gTableMutex);
        for (const ze_transport_entry_t &row : gTransports) {
            if ((row.kind & transport_mask) == 0)
                continue;
            for (int32_t i = 0; i < row.count && listed < ZE_MAX_CAMERAS; ++i) {
                if (!listedByFilter(row.cameras[i], dll_filter))
                    continue;
                if (cameras)
                    cameras[listed] = row.cameras[i];
                ++listed;
            }
        }
    }
    if (count)
        *count = listed;
    return listed > 0 ? CAMERA_SUCCESS : CAMERA_ERROR;
}

ZE_API uint32_t *ze_CancelProbe(void)
{
    setCancelFlag(1);
    return &gCancelProbe;
}

} // extern "C"
