// DeviceContext: starting values, and fetching and storing it in the camera.
#include "device_context.h"

#include "zentro_errors.h"

const ze_plugin_helpers_t *g_helper = nullptr;
int g_videoNum = 0;

namespace {

constexpr uint32_t kDeviceContextItem = ZE_CONTEXT_DEVICE_CONTEXT;
constexpr uint32_t kDefaultLanes = 4;

// Node 1 carries a two-lane link and node 2 an eight-lane one; the others four lanes.
uint32_t lanesOfNode(int videoNum)
{
    switch (videoNum) {
    case 1:
        return 2;
    case 2:
        return 8;
    default:
        return kDefaultLanes;
    }
}

} // namespace

DeviceContext::DeviceContext(int videoNum)
    : device(std::make_unique<V4L2_Camera>(videoNum)), lanes(lanesOfNode(videoNum))
{
}

DeviceContext *deviceContext(ze_camera_t *camera)
{
    if (camera == nullptr || g_helper == nullptr)
        return nullptr;
    void *context = nullptr;
    if (g_helper->getContext(camera, kDeviceContextItem, &context) != CAMERA_SUCCESS)
        return nullptr;
    return static_cast<DeviceContext *>(context);
}

bool storeDeviceContext(ze_camera_t *camera, DeviceContext *context)
{
    return g_helper != nullptr &&
           g_helper->setContext(camera, kDeviceContextItem, context) == CAMERA_SUCCESS;
}

int zentroError(int code)
{
    switch (code) {
    case CAMERA_ERROR:
        return CAMERA_TIMEOUT;
    case 2:
        return TOO_MUCH_DATA_ERROR;
    case GRAB_FRAME_ERROR:
        return CAMERA_NOT_SUPPORTED;
    default:
        return CAMERA_SUCCESS;
    }
}
