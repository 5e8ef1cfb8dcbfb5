// Tests of the error table and its lookups.
#include <gtest/gtest.h>

#include <string>

#include "zentro_errors.h"

TEST(ErrorTable, UnknownAndNegativeCodesAnswerWithTheLastRow)
{
    EXPECT_STREQ(ze_getErrorSymbol(2), "UNKNOWN_ERROR");
    EXPECT_STREQ(ze_getErrorSymbol(-5), "UNKNOWN_ERROR");
    EXPECT_STREQ(ze_getErrorMessage(1000), "Unknown Error");
    EXPECT_EQ(ze_getErrorMsg(39)->code, UNKNOWN_ERROR);
    EXPECT_EQ(ze_getErrorLevel(-1), 1u);
}

TEST(ErrorTable, SymbolsKeepTheirHistoricSpelling)
{
    EXPECT_STREQ(ze_getErrorMessage(36), "Unknown Section Error");
    EXPECT_STREQ(ze_getErrorSymbol(36), "UKNOWN_SECTION_ERROR");
    EXPECT_STREQ(ze_getErrorSymbol(16), "CAMERA_NOT_SUPPORTED");
    EXPECT_STREQ(ze_getErrorMessage(17), "Command/response CRC error");
}

TEST(ErrorTable, EveryCodeOfTheTableFindsItsOwnRow)
{
    struct Row {
        int code;
        uint32_t level;
        const char *message;
    };
    const Row rows[] = {
        {0, 0, "Success"},
        {1, 1, "Camera Error"},
        {3, 1, "Grab Frame Error"},
        {4, 2, "Not Enough Data"},
        {5, 1, "EOF Marker Error"},
        {6, 1, "Buffer Size Error"},
        {7, 1, "Sensor File Parse Error"},
        {8, 2, "Sensor Does Not Match"},
        {9, 1, "Sensor Not Initialized"},
        {10, 1, "Sensor Not Supported"},
        {11, 1, "I2C Error"},
        {12, 1, "I2C Nack"},
        {13, 1, "I2C Timeout"},
        {14, 1, "Camera Timeout"},
        {15, 2, "Too Much Data"},
        {16, 1, "Camera Not Supported"},
        {17, 1, "Command/response CRC error"},
        {18, 1, "Sensor Is Off/Reset"},
        {32, 0, "Parse Success"},
        {33, 1, "Duplicate Descriptor Error"},
        {34, 1, "Parse File Error"},
        {35, 1, "Parse Reg Error"},
        {36, 1, "Unknown Section Error"},
        {37, 1, "Chip Desc. Error"},
        {38, 1, "Parse Addr Space Error"},
        {256, 0, "INI Success"},
        {257, 2, "Key Not Supported - ignored"},
        {258, 1, "Error loading INI File"},
        {259, 2, "Time Out in POLLREG Command"},
    };
    for (const Row &row : rows) {
        const ze_error_entry_t *entry = ze_getErrorMsg(row.code);
        EXPECT_EQ(entry->code, row.code);
        EXPECT_EQ(entry->level, row.level) << row.code;
        EXPECT_STREQ(entry->message, row.message);
    }
}
