// Command-server operations on a camera's modes and its frame and buffer sizes.
#pragma once

#include <QVariantMap>

namespace qrb {

QVariantMap getMode(const QVariantMap &request);
QVariantMap setMode(const QVariantMap &request);
QVariantMap updateFrameSize(const QVariantMap &request);
QVariantMap updateBufferSize(const QVariantMap &request);

} // namespace qrb
