// Where the result files of presets (images, register dumps) are written.
#ifndef ZENTRO_PRESETS_RESULT_FILES_H
#define ZENTRO_PRESETS_RESULT_FILES_H

#include <optional>
#include <string>

#include "presets/section_run.h"

namespace zentro::presets {

// @name resolved against the running preset: a plain name goes beside the preset file. Nothing
// (after a message) when the run's limits confine result files and @name leaves the directory.
std::optional<std::string> resultPath(const SectionRun &run, const std::string &name,
                                      const char *command);

} // namespace zentro::presets

#endif // ZENTRO_PRESETS_RESULT_FILES_H
