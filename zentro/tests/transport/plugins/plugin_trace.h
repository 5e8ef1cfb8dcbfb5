/* How a test plug-in tells the test program that loaded it which entry point was called. */
#ifndef ZENTRO_TESTS_TRANSPORT_PLUGINS_PLUGIN_TRACE_H
#define ZENTRO_TESTS_TRANSPORT_PLUGINS_PLUGIN_TRACE_H

#include "zentro_camera.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Defined by the test program (exported from it); a plug-in loaded elsewhere finds no
 * definition and reports nothing. @plugin names the plug-in variant, @entry the entry point,
 * @details its arguments and answers as text.
 */
void zentro_test_plugin_event(const char *plugin, const char *entry, const ze_camera_t *camera,
                              const char *details) __attribute__((weak));

#ifdef __cplusplus
}
#endif

#endif /* ZENTRO_TESTS_TRANSPORT_PLUGINS_PLUGIN_TRACE_H */
