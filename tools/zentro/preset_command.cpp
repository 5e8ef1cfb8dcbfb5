// The preset subcommand: lists a preset file's sections or runs one on the camera.
#include <cstdio>

#include "cli_error.h"
#include "command.h"
#include "library_log.h"
#include "preset_sections.h"

namespace zcli {
namespace {

void listSections(Invocation &invocation, const std::string &file,
                  const std::vector<PresetSection> &sections)
{
    if (!invocation.json()) {
        for (const PresetSection &section : sections)
            if (!section.hidden)
                std::printf("%s%s\n", section.name.c_str(),
                            section.name == ZE_DEFAULT_PRESET_SECTION ? "  (default)" : "");
        return;
    }
    JsonWriter &out = invocation.document();
    out.beginObject().field("file", file).field("default", ZE_DEFAULT_PRESET_SECTION);
    out.key("sections").beginArray();
    for (const PresetSection &section : sections)
        out.beginObject().field("name", section.name).field("hidden", section.hidden).endObject();
    out.endArray().endObject();
}

void runSection(Invocation &invocation, const std::string &file, const std::string &section)
{
    ze_camera_t *camera = invocation.session().camera();
    takeLibraryLog();
    const uint32_t result = ze_LoadINIPreset(camera, file.c_str(), section.c_str());
    if (result != INI_SUCCESS)
        operationFailed(describeFailure("preset section \"" + section + "\" of " + file + " failed",
                                        static_cast<int>(result)));
    // Failed commands do not stop a section; they are reported, the section still ran.
    const std::vector<std::string> problems = takeLibraryLog();
    for (const std::string &problem : problems)
        std::fprintf(stderr, "zentro: preset: %s\n", problem.c_str());
    if (!invocation.json()) {
        std::printf("Ran \"%s\" of %s%s\n", section.c_str(), file.c_str(),
                    problems.empty() ? "" : " (with the problems above)");
        return;
    }
    JsonWriter &out = invocation.document();
    out.beginObject().field("file", file).field("section", section).key("problems").beginArray();
    for (const std::string &problem : problems)
        out.value(problem);
    out.endArray().endObject();
}

void runPreset(Invocation &invocation)
{
    const auto &operands = invocation.args().operands();
    const std::string &file = operands[0];
    const std::vector<PresetSection> sections = readPresetSections(file);
    if (operands.size() == 1) {
        listSections(invocation, file, sections);
        return;
    }
    const PresetSection *section = findPresetSection(sections, operands[1]);
    if (!section)
        usageError("the preset file " + file + " has no section \"" + operands[1] +
                   "\" (zentro preset " + file + " lists them)");
    runSection(invocation, file, section->name);
}

} // namespace

const Command presetCommand = {
    "preset",
    "FILE [SECTION]",
    "list a preset file's sections, or run one",
    "Without SECTION, lists the sections of the INI preset FILE (the default one marked);\n"
    "nothing is sent to the camera. With SECTION (any case), runs that section on the\n"
    "camera with the library's preset runner; commands of the section that fail are\n"
    "reported on stderr. To run the default section name it:\n"
    "\n"
    "Example: zentro --board 192.168.55.1 preset apps_data/zx0201.ini \"Tavo Initialization\"\n",
    {},
    1,
    2,
    runPreset,
};

} // namespace zcli
