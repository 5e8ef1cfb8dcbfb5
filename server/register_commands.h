// Command-server operations on registers: by bus address, and by sensor address space.
#pragma once

#include <QVariantMap>

namespace qrb {

QVariantMap readRegister(const QVariantMap &request);
QVariantMap writeRegister(const QVariantMap &request);
QVariantMap readRegisters(const QVariantMap &request);
QVariantMap writeRegisters(const QVariantMap &request);
QVariantMap readSensorRegisters(const QVariantMap &request);
QVariantMap writeSensorRegisters(const QVariantMap &request);

} // namespace qrb
