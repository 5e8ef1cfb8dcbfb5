// Register access through the library and the plug-in: by name, by address, on absent devices
// and with 8-bit data.
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using boardsim::testing::SimBoard;

constexpr uint32_t kSensorBus = 0x20; // write address of the sensor at 0x10
constexpr uint32_t kAbsentBus = 0x40;

bool logged(const SimBoard &board, const std::string &line)
{
    const auto log = board.busLog();
    return std::find(log.begin(), log.end(), line) != log.end();
}

class CsiTransportRegisters : public csi::testing::OpenedCameraTest
{
protected:
    void SetUp() override
    {
        OpenedCameraTest::SetUp();
        board_.clearBusLog();
    }
};

TEST_F(CsiTransportRegisters, RegistersByNameTravelToTheSensor)
{
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadSensorRegStr(camera(), "CHIP_VERSION_REG", nullptr, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x0C54u);
    ASSERT_EQ(ze_WriteSensorRegStr(camera(), "COARSE_INTEGRATION_TIME", nullptr, 0x0345),
              CAMERA_SUCCESS);
    EXPECT_TRUE(logged(board_, "S_REGISTER 0x0010 0x3114 0x0345"));
    ASSERT_EQ(ze_ReadSensorRegStr(camera(), "COARSE_INTEGRATION_TIME", nullptr, &value),
              CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x0345u);
    // The bus address is set once and kept.
    EXPECT_FALSE(logged(board_, "S_PROPERTY 0xFFF5 0x0010"));
}

TEST_F(CsiTransportRegisters, ManyRegistersAtOnce)
{
    uint32_t values[3] = {0x1111, 0x2222, 0x3333};
    ASSERT_EQ(ze_writeRegisters(camera(), kSensorBus, 0x3120, 3, values), CAMERA_SUCCESS);
    EXPECT_TRUE(logged(board_, "S_REGISTER 0x0010 0x3120 0x1111"));
    EXPECT_TRUE(logged(board_, "S_REGISTER 0x0010 0x3124 0x3333"));
    uint32_t back[3] = {};
    ASSERT_EQ(ze_readRegisters(camera(), kSensorBus, 0x3120, 3, back), CAMERA_SUCCESS);
    EXPECT_EQ(back[0], 0x1111u);
    EXPECT_EQ(back[1], 0x2222u);
    EXPECT_EQ(back[2], 0x3333u);
}

TEST_F(CsiTransportRegisters, AnAbsentDeviceAnswersNoAcknowledge)
{
    uint32_t value = 0xDEAD;
    EXPECT_EQ(ze_readRegister(camera(), kAbsentBus, 0x3000, &value), I2C_NACK_ERROR);
    EXPECT_TRUE(logged(board_, "S_PROPERTY 0xFFF5 0x0020"));
    EXPECT_EQ(ze_writeRegister(camera(), kAbsentBus, 0x3000, 1), I2C_NACK_ERROR);
    uint32_t values[2] = {};
    EXPECT_EQ(ze_readRegisters(camera(), kAbsentBus, 0x3000, 2, values), I2C_NACK_ERROR);
    EXPECT_EQ(ze_writeRegisters(camera(), kAbsentBus, 0x3000, 2, values), I2C_NACK_ERROR);
    // Back on the sensor's address, the sensor answers again.
    EXPECT_EQ(ze_readRegister(camera(), kSensorBus, 0x3000, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x0C54u);
}

TEST_F(CsiTransportRegisters, EightBitDataGoesInPairsAndAnOddLastByteAlone)
{
    ASSERT_EQ(ze_setMode(camera(), ZE_REG_DATA_SIZE, 8), CAMERA_SUCCESS);
    uint32_t values[3] = {0x12, 0x34, 0x56};
    ASSERT_EQ(ze_writeRegisters(camera(), kSensorBus, 0x3120, 3, values), CAMERA_SUCCESS);
    const std::vector<std::string> expected = {"S_REGISTER 0x0010 0x3120 0x1234",
                                               "S_BUFFER 0x0010 size=2 0x3122 56"};
    EXPECT_EQ(board_.busLog(), expected);
    uint32_t back[3] = {};
    ASSERT_EQ(ze_readRegisters(camera(), kSensorBus, 0x3120, 3, back), CAMERA_SUCCESS);
    EXPECT_EQ(back[0], 0x12u);
    EXPECT_EQ(back[1], 0x34u);
    EXPECT_EQ(back[2], 0x56u);
    uint32_t one = 0;
    ASSERT_EQ(ze_readRegister(camera(), kSensorBus, 0x3121, &one), CAMERA_SUCCESS);
    EXPECT_EQ(one, 0x34u);
}

TEST_F(CsiTransportRegisters, ThirtyTwoBitDataSpansTwoRegisters)
{
    ASSERT_EQ(ze_setMode(camera(), ZE_REG_DATA_SIZE, 32), CAMERA_SUCCESS);
    ASSERT_EQ(ze_writeRegister(camera(), kSensorBus, 0x3120, 0x01020304), CAMERA_SUCCESS);
    EXPECT_TRUE(logged(board_, "S_REGISTER 0x0010 0x3120 0x0102"));
    EXPECT_TRUE(logged(board_, "S_REGISTER 0x0010 0x3122 0x0304"));
    uint32_t value = 0;
    ASSERT_EQ(ze_readRegister(camera(), kSensorBus, 0x3120, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x01020304u);
}

TEST_F(CsiTransportRegisters, UnsupportedWidthsAndRangesAreRefused)
{
    ASSERT_EQ(ze_setMode(camera(), ZE_REG_DATA_SIZE, 24), CAMERA_SUCCESS);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ze_writeRegister(camera(), kSensorBus, 0x3120, 1), CAMERA_ERROR);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Data Size 24 not supported!\n");
    ASSERT_EQ(ze_setMode(camera(), ZE_REG_DATA_SIZE, 16), CAMERA_SUCCESS);
    // Registers beyond the 16-bit address range are not silently wrapped.
    uint32_t values[2] = {1, 2};
    EXPECT_EQ(ze_writeRegisters(camera(), kSensorBus, 0xFFFE, 2, values), CAMERA_ERROR);
    EXPECT_EQ(board_.registerWrites(), std::vector<std::string>{});
}

} // namespace
