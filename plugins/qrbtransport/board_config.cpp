// Reading the board's address from ".cam" files and the environment.
#include "board_config.h"

#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zentro::qrb {

namespace {

constexpr const char *kTransportSection = "TRANSPORT";
constexpr const char *kPluginKey = "DLL_NAME";
constexpr std::string_view kCamSuffix = ".cam";
// A ".cam" file is a few lines; anything larger is not one.
constexpr std::streamsize kMaxCamFileSize = 64 * 1024;

std::string trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool sameName(const std::string &a, const std::string &b)
{
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string baseName(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string readSmallFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::string text(static_cast<size_t>(kMaxCamFileSize), '\0');
    file.read(text.data(), kMaxCamFileSize);
    text.resize(static_cast<size_t>(file.gcount()));
    return text;
}

std::vector<std::string> camFilesInWorkingDirectory()
{
    std::vector<std::string> names;
    DIR *directory = opendir(".");
    if (!directory)
        return names;
    while (const dirent *entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name.size() > kCamSuffix.size() &&
            sameName(name.substr(name.size() - kCamSuffix.size()), std::string(kCamSuffix)))
            names.push_back(name);
    }
    closedir(directory);
    // Several matching files: the first by name decides, whatever the listing order.
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::optional<std::string> iniValue(const std::string &text, const std::string &section,
                                    const std::string &key)
{
    std::istringstream lines(text);
    std::string line;
    bool inSection = false;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            inSection =
                close != std::string::npos && sameName(trim(line.substr(1, close - 1)), section);
            continue;
        }
        const auto equals = line.find('=');
        if (inSection && equals != std::string::npos && sameName(trim(line.substr(0, equals)), key))
            return trim(line.substr(equals + 1));
    }
    return std::nullopt;
}

BoardSetting configuredBoard(const std::string &pluginFile)
{
    const std::string plugin = baseName(pluginFile);
    for (const auto &cam : camFilesInWorkingDirectory()) {
        const std::string text = readSmallFile(cam);
        const auto named = iniValue(text, kTransportSection, kPluginKey);
        if (!named || !sameName(baseName(*named), plugin))
            continue;
        const auto address = iniValue(text, kTransportSection, kBoardAddressKey);
        if (address && !address->empty())
            return {*address, cam};
    }
    if (const char *env = std::getenv(kBoardEnvironment); env && *env)
        return {env, kBoardEnvironment};
    return {};
}

Timeouts configuredTimeouts()
{
    Timeouts timeouts;
    const char *env = std::getenv(kTimeoutEnvironment);
    if (!env)
        return timeouts;
    const std::string_view text(env);
    long ms = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (error == std::errc{} && end == text.data() + text.size() && ms > 0)
        timeouts.connect = timeouts.io = std::chrono::milliseconds(ms);
    return timeouts;
}

} // namespace zentro::qrb
