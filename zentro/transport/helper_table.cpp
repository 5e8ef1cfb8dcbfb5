// The table of library functions handed to transport plug-ins, in the order plug-ins expect.
#include "transport/helper_table.h"

#include "zentro_board.h"
#include "zentro_config.h"
#include "zentro_errors.h"
#include "zentro_frame.h"
#include "zentro_identify.h"
#include "zentro_modes.h"
#include "zentro_osal.h"
#include "zentro_reg_access.h"

namespace {

// Plug-ins keep a pointer to this table: it must never move or change.
constexpr ze_plugin_helpers_t kHelpers = {
    .getSensor = _getSensor,
    .updateImageType = _updateImageType,
    .errorlog = ze_Errorlog,
    .msglog = ze_Msglog,
    .setMode = _SetMode,
    .getMode = _GetMode,
    .setContext = _SetContext,
    .getContext = _GetContext,
    .updateFrameSize = _UpdateFrameSize,
    .unSwizzleBuffer1 = _unSwizzleBuffer1,
    .mergeDeepBayer1 = _mergeDeepBayer1,
    .readReg = _readReg,
    .parseBoardConfigFile = _parseBoardConfigFile,
    .currentLogTypes = _currentLogTypes,
    .getErrorMessage = ze_getErrorMessage,
    .sleep = osal_sleep,
    .home = ze_Home,
    .freeBoardData = _freeBoardData,
    .getSerdes = _getSerdes,
    .reserved = {},
};

static_assert(sizeof(ze_plugin_helpers_t) == ZE_PLUGIN_HELPER_SLOTS * sizeof(void *),
              "the helper table is a plain array of pointer slots");

} // namespace

namespace zentro {

const ze_plugin_helpers_t &pluginHelpers()
{
    return kHelpers;
}

} // namespace zentro
