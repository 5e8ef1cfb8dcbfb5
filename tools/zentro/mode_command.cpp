// The mode subcommand: reading, setting and listing the camera's numbered modes.
#include <cstdio>

#include "cli_error.h"
#include "command.h"
#include "library_log.h"

namespace zcli {
namespace {

constexpr OptionDefinition kModeOptions[] = {{"list", 'l', false}};

void listModes(Invocation &invocation)
{
    ze_camera_t *camera = invocation.session().camera();
    JsonWriter &out = invocation.document();
    if (invocation.json())
        out.beginObject().key("modes").beginArray();
    for (uint32_t mode = 0; mode < ZE_MODE_LIMIT; ++mode) {
        const char *name = ze_GetModeName(mode);
        if (!name)
            continue;
        uint32_t value = 0;
        const bool known = ze_getMode(camera, mode, &value) == CAMERA_SUCCESS;
        if (invocation.json()) {
            out.beginObject().field("name", name).field("number", mode).key("value");
            known ? out.value(value) : out.null();
            out.endObject();
        } else if (known) {
            std::printf("%3u %-28s %u\n", mode, name, value);
        } else {
            std::printf("%3u %-28s -\n", mode, name);
        }
    }
    if (invocation.json())
        out.endArray().endObject();
    // Modes a camera does not implement are expected here; their log lines are no failure.
    takeLibraryLog();
}

void report(Invocation &invocation, uint32_t mode, uint32_t value)
{
    if (invocation.json())
        invocation.document()
            .beginObject()
            .field("mode", ze_GetModeName(mode))
            .field("number", mode)
            .field("value", value)
            .endObject();
    else
        std::printf("%s = %u\n", ze_GetModeName(mode), value);
}

void runMode(Invocation &invocation)
{
    const auto &operands = invocation.args().operands();
    if (invocation.args().has("list")) {
        if (!operands.empty())
            usageError("mode: --list takes no operands");
        listModes(invocation);
        return;
    }
    if (operands.empty())
        usageError("mode: name a mode, or give --list");
    uint32_t mode = 0;
    if (ze_FindMode(operands[0].c_str(), &mode) != 0)
        usageError("unknown mode " + operands[0] + " (zentro mode --list shows them)");
    ze_camera_t *camera = invocation.session().camera();
    if (operands.size() == 2) {
        const uint32_t value = parseUnsigned(operands[1], "the mode's value", 0xFFFFFFFFu);
        const int result = ze_setMode(camera, mode, value);
        if (result != CAMERA_SUCCESS)
            operationFailed(
                describeFailure(std::string("cannot set ") + ze_GetModeName(mode), result));
    }
    uint32_t value = 0;
    const int result = ze_getMode(camera, mode, &value);
    if (result != CAMERA_SUCCESS)
        operationFailed(
            describeFailure(std::string("cannot read ") + ze_GetModeName(mode), result));
    report(invocation, mode, value);
}

} // namespace

const Command modeCommand = {
    "mode",
    "NAME [VALUE] | --list",
    "read or set a camera mode",
    "Reads the mode NAME, or sets it to VALUE (decimal or 0x hexadecimal) and reads it back.\n"
    "NAME is a mode of the library, with or without its \"ZE_\" prefix, in any case.\n"
    "--list, -l    list every mode with its number and value (\"-\": the camera has none)\n"
    "\n"
    "Example: zentro --null sensor.sdat mode use_reg_cache 1\n",
    kModeOptions,
    0,
    2,
    runMode,
};

} // namespace zcli
