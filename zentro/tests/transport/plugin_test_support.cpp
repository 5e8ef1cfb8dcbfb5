// What the plug-in transport tests share: the trace the test plug-ins report to, load and
// descriptor checks, and cameras opened through plug-ins.
#include "transport/plugin_test_support.h"

#include <dirent.h>
#include <dlfcn.h>

#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

namespace {

std::mutex gTraceLock;
std::vector<zentro::test::PluginCall> gCalls;
bool gTracing = false;

std::string lineOf(const zentro::test::PluginCall &call)
{
    return call.entry + " " + call.details;
}

} // namespace

// Called by the test plug-ins for every entry point they run.
extern "C" __attribute__((visibility("default"))) void
zentro_test_plugin_event(const char *plugin, const char *entry, const ze_camera_t *camera,
                         const char *details)
{
    std::lock_guard<std::mutex> guard(gTraceLock);
    if (gTracing)
        gCalls.push_back({plugin, entry, camera, details});
}

namespace zentro::test {

PluginTrace::PluginTrace()
{
    std::lock_guard<std::mutex> guard(gTraceLock);
    gCalls.clear();
    gTracing = true;
}

PluginTrace::~PluginTrace()
{
    std::lock_guard<std::mutex> guard(gTraceLock);
    gTracing = false;
    gCalls.clear();
}

std::vector<PluginCall> PluginTrace::calls() const
{
    std::lock_guard<std::mutex> guard(gTraceLock);
    return gCalls;
}

std::vector<std::string> PluginTrace::lines(const std::string &entry) const
{
    std::vector<std::string> lines;
    for (const PluginCall &call : calls()) {
        if (entry.empty() || call.entry == entry)
            lines.push_back(lineOf(call));
    }
    return lines;
}

std::vector<std::string> PluginTrace::linesOf(const std::string &entry,
                                              const ze_camera_t *camera) const
{
    std::vector<std::string> lines;
    for (const PluginCall &call : calls()) {
        if (call.entry == entry && call.camera == camera)
            lines.push_back(lineOf(call));
    }
    return lines;
}

void PluginTrace::clear()
{
    std::lock_guard<std::mutex> guard(gTraceLock);
    gCalls.clear();
}

bool isLoaded(const std::string &path)
{
    void *handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

int openDescriptorCount()
{
    int count = 0;
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    closedir(dir);
    return count;
}

PluginCameras::PluginCameras(const std::string &dllName, const std::string &sensorPath)
{
    ze_camera_t *opened[ZE_MAX_CAMERAS] = {};
    int count = -1;
    result = ze_OpenCameras2(opened, &count, sensorPath.c_str(), ZE_TRANSPORT_DLL, dllName.c_str());
    cameras.assign(opened, opened + std::max(count, 0));
}

PluginCameras::~PluginCameras()
{
    closeAll();
}

void PluginCameras::close(size_t i)
{
    ze_CloseCameras2(&cameras.at(i), 1);
    cameras.erase(cameras.begin() + long(i));
}

void PluginCameras::closeAll()
{
    ze_CloseCameras2(cameras.data(), int(cameras.size()));
    cameras.clear();
}

void copyPlugin(const std::string &from, const std::string &to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

} // namespace zentro::test
