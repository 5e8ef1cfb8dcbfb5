// Where the result files of presets (images, register dumps) are written.
#include "presets/result_files.h"

#include "zentro.h"

namespace zentro::presets {

std::optional<std::string> resultPath(const SectionRun &run, const std::string &name,
                                      const char *command)
{
    const bool hasDirectory =
        name.find('/') != std::string::npos || name.find('\\') != std::string::npos;
    if (run.budget->limits.confineFiles && (hasDirectory || name == "." || name == "..")) {
        const std::string message = std::string("Result file must be a plain name in ") + command;
        reportError(run, message.c_str());
        return std::nullopt;
    }
    if (hasDirectory)
        return name;
    const std::string directory = presetDirectory(run);
    return directory.empty() ? name : directory + "/" + name;
}

} // namespace zentro::presets
