// The table of library functions handed to transport plug-ins.
#ifndef ZENTRO_TRANSPORT_HELPER_TABLE_H
#define ZENTRO_TRANSPORT_HELPER_TABLE_H

#include "zentro_plugin.h"

namespace zentro {

// The library's one helper table; it lives as long as the library.
const ze_plugin_helpers_t &pluginHelpers();

} // namespace zentro

#endif // ZENTRO_TRANSPORT_HELPER_TABLE_H
