// The home directory, the sensor-data directory, board-configuration files and the start-up preset.
#include "core/config.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#include "osal/module_path.h"
#include "zentro_osal.h"

namespace zentro {

namespace {

constexpr size_t kMaxHomeLength = OSAL_MAX_PATH - 1;
constexpr const char *kBoardDataFolder = "board_data";
constexpr const char *kCurrentDirectory = ".";

// An environment variable's value; unset and empty both give nothing.
std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

// The directory part of a path, without the final separator: "a/b" gives "a",
// "b" gives ".", "/b" gives "/".
std::string directoryOf(const std::string &path)
{
    size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos)
        return ".";
    if (separator == 0)
        return path.substr(0, 1);
    return path.substr(0, separator);
}

std::string executableDirectory()
{
    std::vector<char> path(OSAL_MAX_PATH);
    if (osal_applicationFilePath(path.data(), path.size()) <= 0)
        return {};
    return directoryOf(path.data());
}

std::string decideHome()
{
    std::string home = environment("ZE_HOME_DEV");
    if (home.empty())
        home = environment("ZE_HOME");
    if (home.empty())
        home = executableDirectory();
    if (home.empty())
        return kCurrentDirectory;
    home.resize(std::min(home.size(), kMaxHomeLength));
    if (home.ends_with('/'))
        home.pop_back();
    return home;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && osal_strnicmp(text.data() + text.size() - suffix.size(),
                                                         suffix.data(), suffix.size()) == 0;
}

std::string joinPath(const std::string &directory, const std::string &name)
{
    if (directory.empty() || osal_dirdelim(directory.back()))
        return directory + name;
    return directory + "/" + name;
}

std::atomic<StartupPresetRunner> gStartupPresetRunner{nullptr};
std::atomic<bool> gStartupPresetHasRun{false};

std::mutex &defaultSensorFileLock()
{
    static auto *lock = new std::mutex;
    return *lock;
}

std::string &defaultSensorFileValue()
{
    static auto *value = new std::string;
    return *value;
}

} // namespace

std::string boardConfigFileName(uint32_t productId)
{
    char name[32];
    std::snprintf(name, sizeof(name), "ZE_%X.cfg", productId);
    return name;
}

std::string sensorDirectory(const std::string &sensorPath)
{
    if (!endsWithNoCase(sensorPath, ".sdat") && !endsWithNoCase(sensorPath, ".xsdat"))
        return sensorPath;
    size_t separator = sensorPath.find_last_of("/\\");
    return separator == std::string::npos ? "." : sensorPath.substr(0, separator);
}

std::string findBoardConfigFile(uint32_t productId, const std::string &sensorPath)
{
    const std::string libraryDirectory = directoryOf(libraryFilePath());
    const std::string sensorDir = sensorDirectory(sensorPath);
    std::vector<std::string> candidates = {
        libraryDirectory,
        joinPath(libraryDirectory, kBoardDataFolder),
        joinPath(directoryOf(libraryDirectory), kBoardDataFolder),
        executableDirectory(),
        sensorDir,
        joinPath(directoryOf(sensorDir), kBoardDataFolder),
    };
    for (const char *variable : {"ZE_HOME_DEV", "ZE_HOME"}) {
        std::string home = environment(variable);
        if (!home.empty())
            candidates.push_back(joinPath(home, kBoardDataFolder));
    }

    const std::string fileName = boardConfigFileName(productId);
    for (const std::string &directory : candidates) {
        std::string path = joinPath(directory, fileName);
        if (!directory.empty() && osal_file_exists(path.c_str()))
            return path;
    }
    return {};
}

std::string startupPresetPath()
{
    return std::string(ze_Home()) + "/apps_data/zentro.ini";
}

void setStartupPresetRunner(StartupPresetRunner runner)
{
    gStartupPresetRunner.store(runner);
}

bool runStartupPresetOnce()
{
    if (gStartupPresetHasRun.exchange(true))
        return false;
    StartupPresetRunner runner = gStartupPresetRunner.load();
    if (runner)
        runner(startupPresetPath().c_str(), kStartupPresetSection);
    return true;
}

bool startupPresetHasRun()
{
    return gStartupPresetHasRun.load();
}

std::string defaultSensorFile()
{
    std::lock_guard guard(defaultSensorFileLock());
    return defaultSensorFileValue();
}

void setDefaultSensorFile(const std::string &path)
{
    std::lock_guard guard(defaultSensorFileLock());
    defaultSensorFileValue() = path;
}

} // namespace zentro

namespace {

// Decided on first use and kept for the life of the process, whatever the
// environment does later.
struct HomeDirectories {
    std::string home = zentro::decideHome();
    std::string sensorData = home + "/sensor_data";
};

const HomeDirectories &homeDirectories()
{
    static const auto *directories = new HomeDirectories;
    return *directories;
}

} // namespace

extern "C" {

ZE_API const char *ze_Home(void)
{
    return homeDirectories().home.c_str();
}

ZE_API const char *ze_SensorData(void)
{
    return homeDirectories().sensorData.c_str();
}

} // extern "C"
