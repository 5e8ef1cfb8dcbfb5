// The regs subcommand: registers with their values and bitfields, filtered by a wildcard.
#include <cstdio>
#include <vector>

#include "cli_error.h"
#include "command.h"
#include "register_batch.h"
#include "register_target.h"

namespace zcli {
namespace {

std::vector<ze_reg_t *> matchingRegisters(ze_camera_t *camera, const std::string &pattern)
{
    std::vector<ze_reg_t *> regs;
    int32_t position = 0;
    // Bounded by the register count: each match moves the position past the register.
    const int32_t bound = camera->sensor->regCount;
    for (int32_t i = 0; i <= bound; ++i) {
        ze_reg_t *reg = ze_FindRegisterWildcard(camera, pattern.c_str(), &position);
        if (!reg)
            break;
        regs.push_back(reg);
    }
    return regs;
}

const char *spaceName(const ze_reg_t *reg)
{
    return reg->addrSpace ? reg->addrSpace->name : "";
}

void printText(const std::vector<ze_reg_t *> &regs, const std::vector<RegisterReading> &readings)
{
    for (size_t i = 0; i < regs.size(); ++i) {
        const ze_reg_t &reg = *regs[i];
        const ValueFormat format = formatOf(reg);
        std::string value;
        if (readings[i].result == CAMERA_NOT_SUPPORTED && reg.access == ZE_ACCESS_WO)
            value = "(write-only)";
        else if (readings[i].result != CAMERA_SUCCESS)
            value = std::string("(") + ze_getErrorMessage(readings[i].result) + ")";
        else if (format.dataType == ZE_DATATYPE_HEX)
            value = valueText(format, readings[i].value);
        else
            value = valueText(format, readings[i].value) + " (" +
                    hexText(readings[i].value, format.mask) + ")";
        std::printf("%-32s 0x%04X %-8s %s  %s\n", reg.name, reg.addr, spaceName(&reg),
                    accessText(reg.access), value.c_str());
        if (readings[i].result != CAMERA_SUCCESS)
            continue;
        for (int32_t b = 0; b < reg.bitfieldCount; ++b) {
            const ze_bitfield_t &field = reg.bitfields[b];
            const uint32_t fieldRaw = fieldValue(readings[i].value, field.mask);
            std::printf("    .%-27s %s %-8s %s  %s\n", field.name,
                        hexText(field.mask, format.mask).c_str(), "", accessText(field.access),
                        valueText(formatOf(field), fieldRaw).c_str());
        }
    }
}

void writeJson(JsonWriter &out, const std::vector<ze_reg_t *> &regs,
               const std::vector<RegisterReading> &readings)
{
    out.beginObject().field("count", static_cast<uint64_t>(regs.size())).key("registers");
    out.beginArray();
    for (size_t i = 0; i < regs.size(); ++i) {
        const ze_reg_t &reg = *regs[i];
        const ValueFormat format = formatOf(reg);
        const bool read = readings[i].result == CAMERA_SUCCESS;
        out.beginObject()
            .field("name", reg.name)
            .field("address", reg.addr)
            .field("space", spaceName(&reg))
            .field("access", accessText(reg.access))
            .field("dataType", dataTypeName(format))
            .field("mask", format.mask);
        if (read) {
            out.field("value", readings[i].value)
                .field("text", valueText(format, readings[i].value));
        } else {
            out.key("value").null().field("error", ze_getErrorMessage(readings[i].result));
        }
        out.key("bitfields").beginArray();
        for (int32_t b = 0; b < reg.bitfieldCount; ++b) {
            const ze_bitfield_t &field = reg.bitfields[b];
            const uint32_t fieldRaw = fieldValue(readings[i].value, field.mask);
            out.beginObject().field("name", field.name).field("mask", field.mask);
            if (read)
                out.field("value", fieldRaw).field("text", valueText(formatOf(field), fieldRaw));
            else
                out.key("value").null();
            out.endObject();
        }
        out.endArray().endObject();
    }
    out.endArray().endObject();
}

void runRegs(Invocation &invocation)
{
    CameraSession &session = invocation.session();
    session.sensor();
    const auto &operands = invocation.args().operands();
    const std::string pattern = operands.empty() ? "*" : operands[0];
    const std::vector<ze_reg_t *> regs = matchingRegisters(session.camera(), pattern);
    if (regs.empty())
        operationFailed("no register matches " + pattern);
    const std::vector<RegisterReading> readings = readRegisters(session.camera(), regs);
    if (invocation.json())
        writeJson(invocation.document(), regs, readings);
    else
        printText(regs, readings);
}

} // namespace

const Command regsCommand = {
    "regs",
    "[PATTERN]",
    "list registers with their values and bitfields",
    "Lists the sensor's registers whose names match PATTERN (all without one), with address,\n"
    "address space, access, value and the value of each bitfield. In PATTERN \"*\" matches\n"
    "any run of characters and \"?\" one character; case does not matter; quote it so that\n"
    "the shell leaves it alone. Registers at consecutive addresses are read in one request.\n"
    "\n"
    "Example: zentro --null sensor.sdat regs '*PLL*'\n",
    {},
    0,
    1,
    runRegs,
};

} // namespace zcli
