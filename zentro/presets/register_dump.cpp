// SAVE_REGS: a register dump written as a preset section, so that loading it writes every
// dumped register back by name.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "osal/numbered_file.h"
#include "presets/arguments.h"
#include "presets/commands.h"
#include "presets/register_values.h"
#include "presets/result_files.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

// Room of the dump's file name, terminator included.
constexpr size_t kDumpNameBufferSize = 512;

struct FileCloser {
    void operator()(FILE *file) const { fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct Pattern {
    std::string space; // empty: any address space
    std::string names;
};

Pattern parsePattern(const std::string &argument)
{
    const size_t colon = argument.find(':');
    if (colon == std::string::npos)
        return {{}, argument.empty() ? "*" : argument};
    const std::string names(trim(std::string_view(argument).substr(colon + 1)));
    return {std::string(trim(std::string_view(argument).substr(0, colon))),
            names.empty() ? "*" : names};
}

bool inSpace(const ze_reg_t &reg, const std::string &space)
{
    return space.empty() || !reg.addrSpace || equalsNoCase(reg.addrSpace->name, space);
}

// Writes one FIELD_WR line per readable register that @pattern selects.
void dumpPattern(ze_camera_t *camera, FILE *out, const Pattern &pattern)
{
    int32_t position = 0;
    while (ze_reg_t *reg = ze_FindRegisterWildcard(camera, pattern.names.c_str(), &position)) {
        if (reg->access == ZE_ACCESS_WO || !inSpace(*reg, pattern.space))
            continue;
        uint32_t value = 0;
        // A register that cannot be read is left out rather than dumped as 0: loading the
        // dump back would otherwise overwrite it with a value it never had.
        if (ze_ReadSensorReg(camera, reg, &value) == CAMERA_SUCCESS)
            fprintf(out, "FIELD_WR= %s, 0x%X\n", reg->name, value);
        else
            fprintf(out, "; %s could not be read\n", reg->name);
    }
}

} // namespace

Flow saveRegsCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || (*tokens)[0].empty()) {
        reportError(run, "No filename in SAVE_REGS command");
        return Flow::Continue;
    }
    const std::optional<std::string> path = resultPath(run, (*tokens)[0], "SAVE_REGS");
    if (!path)
        return Flow::Continue;
    const std::string numbered = numberedFileName(*path, kDumpNameBufferSize);
    const File out(osal_fopen(numbered.c_str(), "w"));
    if (!out) {
        reportError(run, "SAVE_REGS couldn't open file");
        return Flow::Continue;
    }
    const size_t comma = value.find(',');
    const std::string title(comma == std::string_view::npos ? std::string_view()
                                                            : value.substr(comma + 1));
    fprintf(out.get(), "[Saved Registers %s]\n", title.c_str());
    if (run.hasSensor()) {
        CacheModeScope cache(run.camera, 0);
        // Without patterns the whole register set is dumped.
        if (tokens->size() == 1)
            dumpPattern(run.camera, out.get(), {{}, "*"});
        for (size_t i = 1; i < tokens->size(); ++i)
            dumpPattern(run.camera, out.get(), parsePattern((*tokens)[i]));
    }
    if (ferror(out.get()) || fflush(out.get()) != 0)
        reportError(run, "SAVE_REGS couldn't write file");
    return Flow::Continue;
}

} // namespace zentro::presets
