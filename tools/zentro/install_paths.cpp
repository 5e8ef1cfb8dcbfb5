// Plug-in and sensor-data locations of an installed or a build-tree client.
#include "install_paths.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <zentro.h>

// Relative paths from the installed bin folder, computed by the build so that an installed
// tree can be moved as a whole.
#ifndef ZENTRO_CLI_PLUGIN_RELDIR
#define ZENTRO_CLI_PLUGIN_RELDIR "../lib/zentro2/plugins"
#endif
#ifndef ZENTRO_CLI_DATA_RELDIR
#define ZENTRO_CLI_DATA_RELDIR "../share/zentro"
#endif

namespace zcli {
namespace {

constexpr const char *kPluginFile = "libqrbtransport.so";

bool isFile(const std::string &path)
{
    struct stat info {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isDirectory(const std::string &path)
{
    struct stat info {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string executableDirectory()
{
    std::vector<char> path(PATH_MAX + 1, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), PATH_MAX);
    if (length <= 0)
        return "";
    const std::string whole(path.data(), static_cast<size_t>(length));
    const size_t slash = whole.rfind('/');
    return slash == std::string::npos ? "" : whole.substr(0, slash);
}

std::string findNetworkPlugin()
{
    std::vector<std::string> folders;
    if (const char *dir = std::getenv("ZE_PLUGIN_DIR"); dir && *dir)
        folders.emplace_back(dir);
    const std::string self = executableDirectory();
    if (!self.empty()) {
        folders.push_back(self + "/" + ZENTRO_CLI_PLUGIN_RELDIR);
        folders.push_back(self + "/../lib");
    }
    for (const std::string &folder : folders)
        if (isFile(folder + "/" + kPluginFile))
            return folder + "/" + kPluginFile;
    return "";
}

std::string defaultSensorDataDirectory()
{
    const std::string home = std::string(ze_Home()) + "/sensor_data";
    if (isDirectory(home))
        return home;
    return executableDirectory() + "/" + ZENTRO_CLI_DATA_RELDIR + "/sensor_data";
}

} // namespace zcli
