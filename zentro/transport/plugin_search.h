// Where the plug-in transport finds its plug-ins: ".cam" description files and plug-in
// directories.
#ifndef ZENTRO_TRANSPORT_PLUGIN_SEARCH_H
#define ZENTRO_TRANSPORT_PLUGIN_SEARCH_H

#include <string>
#include <vector>

namespace zentro {

// A plug-in file to load, and the ".cam" file that named it (empty when none did).
struct PluginCandidate {
    std::string pluginPath;
    std::string descriptionFile;
};

// The plug-ins that the ".cam" files of the working directory name with the key DLL_NAME of
// their [TRANSPORT] section, in file-name order. A file whose DLL_NAME is "DEFAULT" (any
// case), empty or missing names none.
std::vector<PluginCandidate> describedPlugins();

// The plug-in files ("*.so", not directories) of @directory, in name order; none when the
// directory cannot be listed.
std::vector<PluginCandidate> pluginsInDirectory(const std::string &directory);

// The directory of plug-ins below the library home: ze_Home() + "/Plugins".
std::string homePluginDirectory();

// The installed plug-in folder beside the library file: "<its directory>/zentro2/plugins";
// empty when the loader cannot tell where the library lies.
std::string installedPluginDirectory();

// The plug-in files of the home's Plugins folder, then those of the installed plug-in folder
// unless it is the same folder (a home's Plugins may link to it), so no plug-in loads twice.
std::vector<PluginCandidate> searchedDirectoryPlugins();

} // namespace zentro

#endif // ZENTRO_TRANSPORT_PLUGIN_SEARCH_H
