// Finding plug-ins: the ".cam" description files of the working directory and the plug-in
// files of a directory.
#include "transport/plugin_search.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "osal/handles.h"
#include "osal/module_path.h"
#include "zentro_config.h"
#include "zentro_osal.h"

namespace {

constexpr char kDescriptionPattern[] = "*.cam";
constexpr char kPluginPattern[] = "*.so";
constexpr char kTransportSection[] = "TRANSPORT";
constexpr char kDllNameKey[] = "DLL_NAME";
constexpr char kNoPlugin[] = "DEFAULT";
constexpr char kHomePlugins[] = "/Plugins";
// Below the directory of the library file, as the install rules lay it out.
constexpr char kInstalledPlugins[] = "zentro2/plugins";

using UniqueFinder =
    std::unique_ptr<osal_find_t, zentro::Deleter<osal_find_t, osal_close_find_file>>;

// The names of the entries of @directory that match @pattern, sorted, so that cameras open
// in the same order on every run.
std::vector<std::string> matchingNames(const std::string &directory, const char *pattern)
{
    std::vector<std::string> names;
    UniqueFinder finder(osal_open_find_file(directory.c_str()));
    if (!finder)
        return names;
    for (int found = osal_find_first_file(finder.get(), pattern); found;
         found = osal_find_next_file(finder.get()))
        names.emplace_back(finder->name);
    std::sort(names.begin(), names.end());
    return names;
}

std::string joinPath(const std::string &directory, const std::string &name)
{
    if (directory.empty() || directory.back() == '/')
        return directory + name;
    return directory + "/" + name;
}

// The plug-in the description file @camFile names; empty when it names none.
std::string namedPlugin(const std::string &camFile)
{
    std::string value(OSAL_MAX_PATH, '\0');
    osal_getprivateprofilestring(kTransportSection, kDllNameKey, kNoPlugin, value.data(),
                                 value.size(), camFile.c_str());
    value.resize(value.find('\0'));
    if (osal_stricmp(value.c_str(), kNoPlugin) == 0)
        return {};
    return value;
}

// The canonical form of @directory, or @directory itself when it cannot be resolved.
std::string canonicalDirectory(const std::string &directory)
{
    std::string canonical(OSAL_MAX_PATH, '\0');
    if (osal_fullpath(directory.c_str(), canonical.data(), canonical.size()) != 1)
        return directory;
    canonical.resize(canonical.find('\0'));
    return canonical;
}

} // namespace

namespace zentro {

std::vector<PluginCandidate> describedPlugins()
{
    std::vector<PluginCandidate> plugins;
    for (const std::string &camFile : matchingNames(".", kDescriptionPattern)) {
        if (!osal_file_exists(camFile.c_str()))
            continue;
        std::string plugin = namedPlugin(camFile);
        if (!plugin.empty())
            plugins.push_back({std::move(plugin), camFile});
    }
    return plugins;
}

std::vector<PluginCandidate> pluginsInDirectory(const std::string &directory)
{
    std::vector<PluginCandidate> plugins;
    for (const std::string &name : matchingNames(directory, kPluginPattern)) {
        std::string path = joinPath(directory, name);
        if (osal_file_exists(path.c_str()))
            plugins.push_back({std::move(path), {}});
    }
    return plugins;
}

std::string homePluginDirectory()
{
    return std::string(ze_Home()) + kHomePlugins;
}

std::string installedPluginDirectory()
{
    const std::string library = libraryFilePath();
    const size_t separator = library.find_last_of('/');
    if (separator == std::string::npos)
        return {};
    return joinPath(library.substr(0, separator), kInstalledPlugins);
}

std::vector<PluginCandidate> searchedDirectoryPlugins()
{
    const std::string home = homePluginDirectory();
    std::vector<PluginCandidate> plugins = pluginsInDirectory(home);
    const std::string installed = installedPluginDirectory();
    if (installed.empty() || canonicalDirectory(installed) == canonicalDirectory(home))
        return plugins;
    std::vector<PluginCandidate> installedPlugins = pluginsInDirectory(installed);
    plugins.insert(plugins.end(), std::make_move_iterator(installedPlugins.begin()),
                   std::make_move_iterator(installedPlugins.end()));
    return plugins;
}

} // namespace zentro
