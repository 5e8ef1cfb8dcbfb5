// Lookup of the register or bitfield a user names.
#include "register_target.h"

#include "cli_error.h"

namespace zcli {

std::string RegisterTarget::name() const
{
    return bitfield ? std::string(reg->name) + "." + bitfield->name : std::string(reg->name);
}

RegisterTarget findRegisterTarget(ze_camera_t *camera, const std::string &name)
{
    RegisterTarget target;
    if (name.empty())
        usageError("no register named");
    if (ze_ExistsRegister(camera, name.c_str())) {
        target.reg = ze_FindRegister(camera, name.c_str());
        return target;
    }
    const size_t dot = name.rfind('.');
    const std::string regName = dot == std::string::npos ? name : name.substr(0, dot);
    if (dot == std::string::npos || !ze_ExistsRegister(camera, regName.c_str()))
        usageError("unknown register " + regName);
    const std::string fieldName = name.substr(dot + 1);
    if (fieldName.empty() || !ze_ExistsBitfield(camera, regName.c_str(), fieldName.c_str()))
        usageError("register " + regName + " has no bitfield " + fieldName);
    target.reg = ze_FindRegister(camera, regName.c_str());
    target.bitfield = ze_FindBitfield(camera, regName.c_str(), fieldName.c_str());
    return target;
}

const char *accessText(ze_access_t access)
{
    switch (access) {
    case ZE_ACCESS_RO:
        return "RO";
    case ZE_ACCESS_WO:
        return "WO";
    default:
        return "RW";
    }
}

} // namespace zcli
