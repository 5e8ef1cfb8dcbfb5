// What the plug-in transport tests share: the test plug-ins, their trace, load and
// descriptor checks, and cameras opened through plug-ins.
#ifndef ZENTRO_TESTS_TRANSPORT_PLUGIN_TEST_SUPPORT_H
#define ZENTRO_TESTS_TRANSPORT_PLUGIN_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "support/test_support.h"
#include "zentro.h"

namespace zentro::test {

// The test plug-ins (plugins/test_plugin.c), by variant.
namespace plugin {
inline const std::string required = ZENTRO_TEST_PLUGIN_REQUIRED;
inline const std::string single = ZENTRO_TEST_PLUGIN_SINGLE;
inline const std::string multi = ZENTRO_TEST_PLUGIN_MULTI;
inline const std::string full = ZENTRO_TEST_PLUGIN_FULL;
inline const std::string identifying = ZENTRO_TEST_PLUGIN_IDENTIFYING;
inline const std::string initCamera2 = ZENTRO_TEST_PLUGIN_INIT_CAMERA2;
inline const std::string many = ZENTRO_TEST_PLUGIN_MANY;
inline const std::string fortyNine = ZENTRO_TEST_PLUGIN_FORTY_NINE;
inline const std::string refusing = ZENTRO_TEST_PLUGIN_REFUSING;
inline const std::string noOpen = ZENTRO_TEST_PLUGIN_NO_OPEN;
inline const std::string noStart = ZENTRO_TEST_PLUGIN_NO_START;
inline const std::string noStop = ZENTRO_TEST_PLUGIN_NO_STOP;
inline const std::string missingObject = ZENTRO_TEST_PLUGIN_MISSING_OBJECT;
inline const std::string missingFunction = ZENTRO_TEST_PLUGIN_MISSING_FUNCTION;
} // namespace plugin

// One entry-point call a test plug-in reported.
struct PluginCall {
    std::string plugin;
    std::string entry;
    const ze_camera_t *camera;
    std::string details;
};

// Collects the calls of the test plug-ins for the scope of the object.
class PluginTrace
{
public:
    PluginTrace();
    ~PluginTrace();
    PluginTrace(const PluginTrace &) = delete;
    PluginTrace &operator=(const PluginTrace &) = delete;

    std::vector<PluginCall> calls() const;
    // "Entry details" of each call, in order; only those of @entry when it is given.
    std::vector<std::string> lines(const std::string &entry = {}) const;
    // The calls of @entry with @camera.
    std::vector<std::string> linesOf(const std::string &entry, const ze_camera_t *camera) const;
    void clear();
};

// True while the plug-in file @path is loaded in this process.
bool isLoaded(const std::string &path);
// Number of this process's open file descriptors.
int openDescriptorCount();

// Cameras opened through the plug-in transport; whatever is still open is closed at scope
// end.
class PluginCameras
{
public:
    // ze_OpenCameras2 with the plug-in transport only and @dllName.
    explicit PluginCameras(const std::string &dllName, const std::string &sensorPath = "/nowhere");
    ~PluginCameras();
    PluginCameras(const PluginCameras &) = delete;
    PluginCameras &operator=(const PluginCameras &) = delete;

    ze_camera_t *operator[](size_t i) const { return cameras.at(i); }
    size_t size() const { return cameras.size(); }
    // Closes camera @i now.
    void close(size_t i);
    void closeAll();

    int result = 0;
    std::vector<ze_camera_t *> cameras;
};

// Copies the file @from to @to (a separate file, so that it is loaded separately).
void copyPlugin(const std::string &from, const std::string &to);

} // namespace zentro::test

#endif // ZENTRO_TESTS_TRANSPORT_PLUGIN_TEST_SUPPORT_H
