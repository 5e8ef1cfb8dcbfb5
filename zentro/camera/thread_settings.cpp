// Per-thread settings tables: each thread's own register-access settings for every open camera.
#include <atomic>
#include <cstring>

#include "camera/context.h"
#include "camera/transport_table.h"
#include "zentro_osal.h"

namespace {

constexpr ze_thread_settings_t kDefaultSettings = {nullptr, 8, 16, 1, 5, 0, 0};

// One record per open non-file camera, in table order. Each record's camera is identified
// by its pointer and its context's serial, so that a record left behind by a closed camera
// is never taken for a new camera that happens to get the same address.
struct ThreadTable {
    ze_thread_settings_t records[ZE_MAX_CAMERAS];
    uint64_t serials[ZE_MAX_CAMERAS];
};

const ThreadTable &defaultTable()
{
    static const ThreadTable table = [] {
        ThreadTable fresh{};
        for (ze_thread_settings_t &record : fresh.records)
            record = kDefaultSettings;
        return fresh;
    }();
    return table;
}

// Thread-local slot of the tables; assigned by the OS layer on first use.
uint32_t gTableSlot = OSAL_TLS_UNASSIGNED;

uint32_t tableSlot()
{
    return std::atomic_ref<uint32_t>(gTableSlot).load(std::memory_order_acquire);
}

ThreadTable *currentTable()
{
    const uint32_t slot = tableSlot();
    if (slot == OSAL_TLS_UNASSIGNED || slot == OSAL_TLS_FAILED)
        return nullptr;
    return static_cast<ThreadTable *>(osal_get_thread_local(slot));
}

uint64_t serialOf(const ze_camera_t *camera)
{
    return camera->context ? camera->context->serial : 0;
}

int findRecord(const ThreadTable &table, const ze_camera_t *camera)
{
    const uint64_t serial = serialOf(camera);
    for (int i = 0; i < ZE_MAX_CAMERAS; ++i) {
        if (table.records[i].camera == camera && table.serials[i] == serial)
            return i;
    }
    return -1;
}

// Makes @position of @table belong to @camera; a record that already does keeps the
// thread's own values.
void claimRecord(ThreadTable &table, int position, ze_camera_t *camera)
{
    if (position >= ZE_MAX_CAMERAS || !camera->context)
        return;
    ze_thread_settings_t &record = table.records[position];
    if (record.camera == camera && table.serials[position] == serialOf(camera))
        return;
    record = camera->context->cameraSettings;
    record.camera = camera;
    table.serials[position] = serialOf(camera);
}

} // namespace

namespace zentro {

ze_thread_settings_t &threadSettings(ze_camera_t *camera)
{
    ThreadTable *table = currentTable();
    if (!table && tableSlot() != OSAL_TLS_FAILED) {
        ze_EnterThread();
        table = currentTable();
    }
    if (table) {
        const int index = findRecord(*table, camera);
        if (index >= 0)
            return table->records[index];
    }
    return camera->context->cameraSettings;
}

bool hasThreadTable()
{
    return currentTable() != nullptr;
}

void forgetThreadSettings(const ze_camera_t *camera)
{
    ThreadTable *table = currentTable();
    if (!table)
        return;
    const int index = findRecord(*table, camera);
    if (index < 0)
        return;
    const int later = ZE_MAX_CAMERAS - index - 1;
    memmove(&table->records[index], &table->records[index + 1], later * sizeof(table->records[0]));
    memmove(&table->serials[index], &table->serials[index + 1], later * sizeof(table->serials[0]));
    table->records[ZE_MAX_CAMERAS - 1] = kDefaultSettings;
    table->serials[ZE_MAX_CAMERAS - 1] = 0;
}

} // namespace zentro

extern "C" {

ZE_API void ze_EnterThread(void)
{
    if (zentro::openCameraCount() == 0)
        return;
    auto *table = static_cast<ThreadTable *>(
        osal_alloc_thread_local(&gTableSlot, 1, sizeof(ThreadTable), &defaultTable()));
    if (!table)
        return;
    zentro::forEachOpenNonFileCamera(
        [table](int position, ze_camera_t *camera) { claimRecord(*table, position, camera); });
}

ZE_API void ze_ExitThread(void)
{
    const uint32_t slot = tableSlot();
    if (slot != OSAL_TLS_UNASSIGNED && slot != OSAL_TLS_FAILED)
        osal_free_thread_local(slot);
}

} // extern "C"
