// The sensor record: allocation, release, start values, far names and known sensor names.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "camera/context.h"
#include "sensor_data/sensor_record.h"
#include "support/test_support.h"
#include "zentro.h"

namespace {

using zentro::test::TestCamera;

char *duplicate(const char *text)
{
    return text ? strdup(text) : nullptr;
}

TEST(SensorTypeNames, EveryCodeRoundTripsCaseInsensitively)
{
    EXPECT_STREQ(ze_SensorTypeName(8), "ZX0008");
    EXPECT_STREQ(ze_SensorTypeName(159), "ZX0159");
    EXPECT_STREQ(ze_SensorTypeName(366), "ZX0366");
    for (uint32_t code = 1; code < ZE_SENSOR_TYPE_COUNT; ++code)
        ASSERT_EQ(ze_SensorTypeCode(ze_SensorTypeName(code)), code);
    EXPECT_EQ(ze_SensorTypeCode("zx0201"), 201u);
    EXPECT_EQ(ze_SensorTypeCode("Zx0016"), 16u);
}

TEST(SensorTypeNames, UnknownNamesGiveCodeZero)
{
    EXPECT_EQ(ze_SensorTypeName(0), nullptr);
    EXPECT_EQ(ze_SensorTypeName(ZE_SENSOR_TYPE_COUNT), nullptr);
    for (const char *name : {"", "ZX0000", "ZX0367", "ZX8", "ZX00081", "ZX0008 ", "Unknown"})
        EXPECT_EQ(ze_SensorTypeCode(name), 0u) << name;
    EXPECT_EQ(ze_SensorTypeCode(nullptr), 0u);
}

TEST(SensorRecord, AllocReplacesTheCamerasRecord)
{
    TestCamera camera;
    ASSERT_EQ(ze_AllocSensor(camera), 0);
    ze_sensor_t *first = camera->sensor;
    ASSERT_NE(first, nullptr);
    first->regs = static_cast<ze_reg_t *>(calloc(2, sizeof(ze_reg_t)));
    first->regCount = 2;
    first->regs[1].bitfields = static_cast<ze_bitfield_t *>(calloc(3, sizeof(ze_bitfield_t)));
    first->regs[1].bitfieldCount = 3;

    ASSERT_EQ(ze_AllocSensor(camera), 0);
    EXPECT_EQ(camera->sensor->regCount, 0);
    EXPECT_EQ(camera->sensor->regs, nullptr);
    EXPECT_EQ(camera->sensor->name[0], '\0');
    EXPECT_EQ(ze_AllocSensor(nullptr), CAMERA_ERROR);
}

TEST(SensorRecord, DestructFreesOwnedDataAndKeepsTheRecord)
{
    ze_sensor_t sensor{};
    sensor.longDescCount = 2;
    sensor.longDescs = static_cast<ze_desc_note_t *>(calloc(2, sizeof(ze_desc_note_t)));
    // A note on a whole register has no bitfield name.
    sensor.longDescs[0] = {duplicate("GAIN"), nullptr, duplicate("Analogue gain")};
    sensor.longDescs[1] = {duplicate("GAIN"), duplicate("COARSE"), duplicate("Coarse steps")};
    sensor.confNoteCount = 1;
    sensor.confNotes = static_cast<ze_desc_note_t *>(calloc(1, sizeof(ze_desc_note_t)));
    sensor.confNotes[0] = {duplicate("RESERVED_TEST"), nullptr, nullptr};
    sensor.addrSpaces =
        static_cast<ze_addr_space_list_t *>(calloc(1, sizeof(ze_addr_space_list_t)));
    sensor.addrSpaces->count = 1;
    sensor.addrSpaces->spaces = static_cast<ze_addr_space_t *>(calloc(1, sizeof(ze_addr_space_t)));
    sensor.farSensor1 = static_cast<ze_sensor_t *>(calloc(1, sizeof(ze_sensor_t)));
    strcpy(sensor.name, "kept");

    ze_DestructSensor(&sensor);
    EXPECT_EQ(sensor.longDescs, nullptr);
    EXPECT_EQ(sensor.longDescCount, 0);
    EXPECT_EQ(sensor.confNotes, nullptr);
    EXPECT_EQ(sensor.addrSpaces, nullptr);
    EXPECT_EQ(sensor.farSensor1, nullptr);
    EXPECT_STREQ(sensor.name, "kept");
    ze_DestructSensor(nullptr);
}

TEST(SensorRecord, ResetGivesTheStartValues)
{
    ze_sensor_t sensor{};
    sensor.regs = static_cast<ze_reg_t *>(calloc(1, sizeof(ze_reg_t)));
    sensor.regCount = 1;
    sensor.minorVersion = 7;
    zentro::resetSensorRecord(&sensor, "/data/zx0201.sdat");
    EXPECT_STREQ(sensor.name, "Unknown");
    EXPECT_EQ(sensor.sensorType, 0u);
    EXPECT_EQ(sensor.width, 640u);
    EXPECT_EQ(sensor.imageHeight, 480u);
    EXPECT_EQ(sensor.imageCount, 1u);
    EXPECT_EQ(sensor.pixelBytes, 2u);
    EXPECT_EQ(sensor.bitsPerPixel, 10u);
    EXPECT_EQ(sensor.imageBytes, 0u);
    EXPECT_EQ(sensor.imageType, 2u);
    EXPECT_EQ(sensor.regAddrSize, 8u);
    EXPECT_EQ(sensor.regDataSize, 16u);
    EXPECT_EQ(sensor.sensorVersion, 1u);
    EXPECT_EQ(sensor.minorVersion, 0u);
    EXPECT_EQ(sensor.regs, nullptr);
    EXPECT_STREQ(sensor.fileName, "/data/zx0201.sdat");
    ze_DestructSensor(&sensor);
}

TEST(SensorRecord, CopyTextCutsToTheField)
{
    char field[8];
    zentro::copyText(field, "0123456789");
    EXPECT_STREQ(field, "0123456");
    zentro::copyText(field, nullptr);
    EXPECT_STREQ(field, "");
}

TEST(SensorRecord, FarIdNamesOnlyMergedSubDevices)
{
    TestCamera camera;
    EXPECT_EQ(ze_FarID(camera, ZE_SPACE_FAR1), nullptr);
    ASSERT_EQ(ze_AllocSensor(camera), 0);
    strcpy(camera->context->farNames[0], "PMIC");
    strcpy(camera->context->farNames[1], "SER");
    EXPECT_EQ(ze_FarID(camera, ZE_SPACE_FAR1), nullptr);
    camera->sensor->farSensor2 = static_cast<ze_sensor_t *>(calloc(1, sizeof(ze_sensor_t)));
    EXPECT_EQ(ze_FarID(camera, ZE_SPACE_FAR1), nullptr);
    EXPECT_STREQ(ze_FarID(camera, ZE_SPACE_FAR2), "SER");
    EXPECT_EQ(ze_FarID(camera, ZE_SPACE_REG), nullptr);
}

} // namespace
