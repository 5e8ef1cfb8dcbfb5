// What the entry points share: the library's helper table, the camera's RemoteCamera, log
// lines and the guard that turns link failures into result codes.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "remote_camera.h"

namespace zentro::qrb {

// The helper table the library handed over (SetHelpersDLL); none before.
extern const ze_plugin_helpers_t *g_helpers;

// Logs @message under @code through the library's error log and returns @code.
int logError(int code, const std::string &message, const char *function, int line);

// The camera's RemoteCamera (context item 4), or none.
RemoteCamera *remoteCamera(ze_camera_t *camera);
// Stores @remote as the camera's device context (none clears it); false when refused.
bool storeRemoteCamera(ze_camera_t *camera, RemoteCamera *remote);

// The result code of a failed link: 14 (CAMERA_TIMEOUT) when the board did not answer in
// time, 1 (CAMERA_ERROR) for a refused, lost or garbled connection.
int linkFailureCode(const Error &error);

// Runs @body for the camera's board under the board's lock, with the recovery of
// RemoteCamera::withRecovery. Link failures are logged naming the board and answered with
// linkFailureCode; no exception leaves.
int remoteCall(ze_camera_t *camera, const char *function,
               const std::function<int(RemoteCamera &)> &body) noexcept;

} // namespace zentro::qrb
