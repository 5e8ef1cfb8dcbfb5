// The get and set subcommands: one register or bitfield by name.
#include <cstdio>

#include "cli_error.h"
#include "command.h"
#include "library_log.h"
#include "register_target.h"

namespace zcli {
namespace {

void report(Invocation &invocation, const RegisterTarget &target, uint32_t value, const char *verb)
{
    const ValueFormat format = target.format();
    const std::string text = valueText(format, value);
    if (!invocation.json()) {
        std::printf("%s %s= %s (%s)\n", target.name().c_str(), verb, text.c_str(),
                    hexText(value, format.mask).c_str());
        return;
    }
    JsonWriter &out = invocation.document();
    out.beginObject().field("register", target.reg->name).key("bitfield");
    if (target.bitfield)
        out.value(target.bitfield->name);
    else
        out.null();
    out.field("value", value)
        .field("text", text)
        .field("number", valueNumber(format, value))
        .field("dataType", dataTypeName(format))
        .endObject();
}

uint32_t readTarget(ze_camera_t *camera, const RegisterTarget &target)
{
    uint32_t value = 0;
    const int result = ze_ReadSensorRegStr(camera, target.reg->name, target.bitfieldName(), &value);
    if (result != CAMERA_SUCCESS)
        operationFailed(describeFailure("cannot read " + target.name(), result));
    return value;
}

void runGet(Invocation &invocation)
{
    CameraSession &session = invocation.session();
    session.sensor();
    const RegisterTarget target =
        findRegisterTarget(session.camera(), invocation.args().operands()[0]);
    if (target.access() == ZE_ACCESS_WO)
        operationFailed(target.name() + " is write-only: it cannot be read");
    report(invocation, target, readTarget(session.camera(), target), "");
}

void runSet(Invocation &invocation)
{
    const std::string &assignment = invocation.args().operands()[0];
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos)
        usageError("set: expected NAME[.BITFIELD]=VALUE, not '" + assignment + "'");
    CameraSession &session = invocation.session();
    session.sensor();
    const RegisterTarget target =
        findRegisterTarget(session.camera(), assignment.substr(0, equals));
    const uint32_t value =
        parseValue(target.format(), assignment.substr(equals + 1), target.name());
    if (target.access() == ZE_ACCESS_RO)
        operationFailed(target.name() + " is read-only");
    const int result =
        ze_WriteSensorRegStr(session.camera(), target.reg->name, target.bitfieldName(), value);
    if (result != CAMERA_SUCCESS)
        operationFailed(describeFailure("cannot write " + target.name(), result));
    // Show what the sensor holds now; a write-only register can only show what was written.
    const uint32_t now =
        target.access() == ZE_ACCESS_WO ? value : readTarget(session.camera(), target);
    report(invocation, target, now, "now ");
}

} // namespace

const Command getCommand = {
    "get",
    "NAME[.BITFIELD]",
    "read a register or bitfield by name",
    "Reads the register NAME, or its bitfield BITFIELD (shifted down to bit 0), and prints\n"
    "the value in the register's data type and in hexadecimal.\n"
    "\n"
    "Example: zentro --null sensor.sdat get READOUT_MODE.HORIZ_MIRROR\n",
    {},
    1,
    1,
    runGet,
};

const Command setCommand = {
    "set",
    "NAME[.BITFIELD]=VALUE",
    "write a register or bitfield by name",
    "Writes VALUE to the register NAME or to its bitfield BITFIELD (the other bits of the\n"
    "register are kept), then reads it back and prints it. VALUE is read in the data type\n"
    "of the register or bitfield: \"0x...\" is hexadecimal for every type; otherwise hex\n"
    "registers take hexadecimal digits, unsigned, signed and sign-magnitude ones whole\n"
    "numbers, fixed-point and float ones real numbers (\"12.5\"). A value the type, the\n"
    "width or the declared range cannot hold is refused and nothing is written.\n"
    "\n"
    "Example: zentro --board 192.168.55.1 set COARSE_INTEGRATION_TIME=0x300\n",
    {},
    1,
    1,
    runSet,
};

} // namespace zcli
