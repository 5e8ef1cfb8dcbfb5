/* Converts register values between raw bits, numbers and text, logging to rotating files. */
#include <stdio.h>
#include <stdlib.h>

#include <zentro.h>

/* A 16-bit gain register holding signed fixed point with two fraction bits. */
#define GAIN_TYPE (ZE_DATATYPE_FIXED1 + 1)
#define GAIN_MASK 0xFFFFu

int main(void)
{
    char log_name[OSAL_MAX_PATH];
    snprintf(log_name, sizeof(log_name), "%s/zentro-example",
             getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp");
    ze_OpenErrorLog(ZE_LOG_SEVERE | ZE_LOG_ERROR, log_name);

    uint32_t raw = ze_Str2Int(GAIN_TYPE, "-1.5", GAIN_MASK);
    char text[32];
    ze_Int2Str(GAIN_TYPE, raw, GAIN_MASK, text, sizeof(text));
    printf("%s is stored as 0x%04X and reads back as %s (%s)\n", "-1.5", raw, text,
           ze_GetDataTypeString(GAIN_TYPE));
    printf("range %.2f to %.2f in steps of %.2f\n", ze_DataTypeMinimum(GAIN_TYPE, GAIN_MASK),
           ze_DataTypeMaximum(GAIN_TYPE, GAIN_MASK), ze_DataTypeStep(GAIN_TYPE));

    char file[ZE_TEXT_SIZE];
    if (ze_GetErrorLogFileName(file) == CAMERA_SUCCESS)
        printf("logging to %s\n", file);
    ze_CloseErrorLog();
    return raw == 0xFFFA ? EXIT_SUCCESS : EXIT_FAILURE;
}
