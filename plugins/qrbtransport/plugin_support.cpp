// The helper table, the per-camera context and the failure guard of the entry points.
#include "plugin_support.h"

#include "zentro_errors.h"

namespace zentro::qrb {

const ze_plugin_helpers_t *g_helpers = nullptr;

namespace {

constexpr const char *kSourceFile = "qrbtransport";

} // namespace

int logError(int code, const std::string &message, const char *function, int line)
{
    if (g_helpers == nullptr || g_helpers->errorlog == nullptr)
        return code;
    return g_helpers->errorlog(code, ZE_LEVEL_FROM_TABLE, message.c_str(), kSourceFile, function,
                               line);
}

RemoteCamera *remoteCamera(ze_camera_t *camera)
{
    if (camera == nullptr || g_helpers == nullptr)
        return nullptr;
    void *context = nullptr;
    if (g_helpers->getContext(camera, ZE_CONTEXT_DEVICE_CONTEXT, &context) != CAMERA_SUCCESS)
        return nullptr;
    return static_cast<RemoteCamera *>(context);
}

bool storeRemoteCamera(ze_camera_t *camera, RemoteCamera *remote)
{
    return g_helpers != nullptr &&
           g_helpers->setContext(camera, ZE_CONTEXT_DEVICE_CONTEXT, remote) == CAMERA_SUCCESS;
}

int linkFailureCode(const Error &error)
{
    return error.kind() == Error::Kind::Timeout ? CAMERA_TIMEOUT : CAMERA_ERROR;
}

int remoteCall(ze_camera_t *camera, const char *function,
               const std::function<int(RemoteCamera &)> &body) noexcept
{
    RemoteCamera *remote = remoteCamera(camera);
    if (remote == nullptr)
        return CAMERA_ERROR;
    try {
        std::lock_guard lock(remote->mutex());
        return remote->withRecovery([&] { return body(*remote); });
    } catch (const Error &error) {
        return logError(linkFailureCode(error),
                        "Board " + remote->boardText() + ": " + error.what(), function, __LINE__);
    } catch (const std::exception &error) {
        return logError(CAMERA_ERROR, std::string("Board link: ") + error.what(), function,
                        __LINE__);
    }
}

} // namespace zentro::qrb
