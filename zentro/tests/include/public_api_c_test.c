/* The public header used from C11, as a C application uses the library. */
#include <stdio.h>
#include <string.h>

#include "zentro.h"

static int failures;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);          \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

static int lastCode;
static char lastMessage[64];

static void recordLine(uint32_t level, int code, const char *message, const char *source_file,
                       const char *function, int line)
{
    (void)level;
    (void)source_file;
    (void)function;
    (void)line;
    lastCode = code;
    snprintf(lastMessage, sizeof(lastMessage), "%s", message ? message : "");
}

static void checkErrorTable(void)
{
    CHECK(strcmp(ze_getErrorSymbol(CAMERA_NOT_SUPPORTED), "CAMERA_NOT_SUPPORTED") == 0);
    CHECK(strcmp(ze_getErrorMessage(UKNOWN_SECTION_ERROR), "Unknown Section Error") == 0);
    CHECK(ze_getErrorMsg(-5)->code == UNKNOWN_ERROR);
}

static void checkCallbackLog(void)
{
    CHECK(ze_OpenErrorLogCallback(ZE_LOG_SEVERE | ZE_LOG_ERROR, recordLine) == 0);
    CHECK(ze_Errorlog(SENSOR_DOES_NOT_MATCH, ZE_LEVEL_FROM_TABLE, "from C", __FILE__, __func__,
                      __LINE__) == SENSOR_DOES_NOT_MATCH);
    CHECK(lastCode == SENSOR_DOES_NOT_MATCH);
    CHECK(strcmp(lastMessage, "from C") == 0);
    ze_CloseErrorLog();
    CHECK(ze_GetErrorLogLevel() == 0);
}

static void checkConversions(void)
{
    char text[16];
    CHECK(ze_Str2Int(ZE_DATATYPE_UNSIGNED, "0x10", 0xFF) == 16);
    CHECK(ze_Int2Str(ZE_DATATYPE_HEX, 0x1F, 0xFF, text, (int)sizeof(text)) == 5);
    CHECK(strcmp(text, "0x1F") == 0);
    CHECK(ze_DataTypeFromString("FIXED8") == 42);
}

static void checkOsLayer(void)
{
    osal_critical_section_t lock;
    CHECK(osal_init_critical_section(&lock, "c-test") == 0);
    osal_enter_critical_section(&lock);
    osal_enter_critical_section(&lock); /* recursive */
    osal_leave_critical_section(&lock);
    osal_leave_critical_section(&lock);
    osal_delete_critical_section(&lock);
    CHECK(osal_stricmp("Sensor_Data", "SENSOR_data") == 0);
    CHECK(ze_Home() != NULL && strstr(ze_SensorData(), "/sensor_data") != NULL);
}

static void checkPluginAbi(void)
{
    CHECK(sizeof(ze_plugin_helpers_t) == ZE_PLUGIN_HELPER_SLOTS * sizeof(void *));
    CHECK(DLL_Transport_DllName(NULL) == NULL);
}

int main(void)
{
    checkErrorTable();
    checkCallbackLog();
    checkConversions();
    checkOsLayer();
    checkPluginAbi();
    if (failures)
        fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}
