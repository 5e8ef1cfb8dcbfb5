// Command-server operations that open, list, describe, override and close cameras.
#pragma once

#include <QString>
#include <QVariantMap>

namespace qrb {

// Where the library looks for sensor data and the board plug-in, below the server's home.
struct OpenLocations {
    QString sensorDir;
    QString pluginPath;
};

// The server's home prefix: ZE_HOME, else ZE_HOME_DEV, else PWD, else "." (an empty
// variable counts as unset).
QString homePrefix();
// The sensor-data location for a request's "sensor_dir" under `home`: an ".xsdat" file is
// looked up by its name alone; anything else gives the home's sensor_data folder.
OpenLocations openLocations(const QString &sensorDir, const QString &home);

QVariantMap openCameras(const QVariantMap &request);
QVariantMap openCamerasNoSensor(const QVariantMap &request);
QVariantMap closeCameras(const QVariantMap &request);
QVariantMap setSensor(const QVariantMap &request);
QVariantMap startTransport(const QVariantMap &request);
QVariantMap stopTransport(const QVariantMap &request);

} // namespace qrb
