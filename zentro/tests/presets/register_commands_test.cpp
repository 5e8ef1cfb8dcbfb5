// Register, bitfield, data-type, mode and frame commands on a null camera and on the fake bus.
#include <chrono>
#include <string>

#include "presets/preset_test_support.h"

namespace zentro::test {
namespace {

TEST_F(PresetTest, RegAndBitfieldWriteByAddress)
{
    EXPECT_EQ(run("[Test]\nREG = 0x301A, 0x10DC\nREG = 0x3000, 4660\n"), INI_SUCCESS);
    EXPECT_EQ(reg("RESET_REGISTER"), 0x10DCu);
    EXPECT_EQ(reg("GAIN"), 0x1234u);
    run("[Test]\nREG = 0x301A, 0x0000\nBITFIELD = 0x301A, 0x0004, 1\nBITFIELD = 0x301A, 0x0700, "
        "0xF\n");
    EXPECT_EQ(reg("RESET_REGISTER"), 0x0704u); // the value is kept inside its mask
    log_.clear();
    run("[Test]\nBITFIELD = 0x301A, 0x0004\nBITFIELD = 0x301A, 4, 1x\nREG = 12ab, 1\n");
    EXPECT_TRUE(logged("Error parsing BITFIELD command"));
    EXPECT_TRUE(logged("Invalid value in BITFIELD command"));
    EXPECT_TRUE(logged("Invalid value in REG Command"));
}

TEST_F(PresetTest, FieldWrWritesRegistersAndBitfieldsByName)
{
    run("[Test]\nFIELD_WR = GAIN, 0x0042\nFIELD_WR = reset_register, stream, 1\n"
        "FIELD_WR = RESET_REGISTER, TEST_MODE, 2\n");
    EXPECT_EQ(reg("GAIN"), 0x42u);
    EXPECT_EQ(reg("RESET_REGISTER"), 0x12DCu); // 0x10D8 with STREAM set and TEST_MODE 2
    run("[Test]\nFIELD_WR = NOPE, 1\nFIELD_WR = GAIN, NOPE, 1\nFIELD_WR = GAIN, 1.5\nFIELD_WR = "
        "GAIN\n");
    EXPECT_TRUE(logged("Register does not exist in FIELDWR command"));
    EXPECT_TRUE(logged("Bitfield does not exist in FIELD_WR command"));
    EXPECT_TRUE(logged("Invalid value in FIELD_WR command"));
    EXPECT_TRUE(logged("Error parsing FIELD_WR command"));
    EXPECT_EQ(reg("GAIN"), 0x42u);
}

TEST_F(PresetTest, DataTypeSetsTypeAndRangeAndValuesFollowTheType)
{
    run("[Test]\nDATATYPE = GAIN, ufixed8, RANGE=1.0:4.5\n"
        "DATATYPE = RESET_REGISTER, TEST_MODE, signed, RANGE=-4:3\nFIELD_WR = GAIN, 2.25\n");
    const ze_reg_t *gain = ze_FindRegister(camera(), "GAIN");
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->dataType, ze_DataTypeFromString("ufixed8"));
    EXPECT_EQ(gain->rangeMin, 0x100u);
    EXPECT_EQ(gain->rangeMax, 0x480u);
    EXPECT_EQ(reg("GAIN"), 0x240u);
    const ze_bitfield_t *mode = ze_FindBitfield(camera(), "RESET_REGISTER", "TEST_MODE");
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->dataType, ze_DataTypeFromString("signed"));
    EXPECT_EQ(mode->rangeMin, 4u); // -4 in three bits
    EXPECT_EQ(mode->rangeMax, 3u);
    run("[Test]\nDATATYPE = EXPOSURE, hex\n");
    EXPECT_EQ(ze_FindRegister(camera(), "EXPOSURE")->rangeMax, 0u);
    run("[Test]\nDATATYPE = GAIN, bogus\nDATATYPE = NOPE, hex\nDATATYPE = GAIN, NOPE, hex\n"
        "DATATYPE = GAIN\n");
    EXPECT_TRUE(logged("Unknown data type keyword in DATATYPE command"));
    EXPECT_TRUE(logged("Unknown register name in DATATYPE command"));
    EXPECT_TRUE(logged("Unknown register/bitfield name in DATATYPE command"));
    EXPECT_TRUE(logged("Error parsing DATATYPE command"));
}

TEST_F(PresetTest, ModeSetsCameraModesByEitherFormOfTheirName)
{
    run("[Test]\nMODE = ZE_ERROR_CHECK_MODE, 1\nMODE = use_reg_cache, 0\n");
    uint32_t value = 0;
    ze_getMode(camera(), ZE_ERROR_CHECK_MODE, &value);
    EXPECT_EQ(value, 1u);
    ze_getMode(camera(), ZE_USE_REG_CACHE, &value);
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(log_.lines().empty());
    run("[Test]\nMODE = ZE_NO_SUCH_MODE, 1\nMODE = ZE_ERROR_CHECK_MODE, x\nMODE = "
        "ZE_ERROR_CHECK_MODE\n");
    EXPECT_TRUE(logged("Mode name does not exist in MODE command"));
    EXPECT_TRUE(logged("Invalid value in MODE command"));
    EXPECT_TRUE(logged("Error parsing MODE command"));
    ze_getMode(camera(), ZE_ERROR_CHECK_MODE, &value);
    EXPECT_EQ(value, 1u);
}

TEST_F(PresetTest, XmclkAcceptsZeroAndTheClockRange)
{
    for (const char *accepted : {"0", "1000", "24000000", "250000000"}) {
        log_.clear();
        run(std::string("[Test]\nXMCLK = ") + accepted + "\n");
        EXPECT_FALSE(logged("XMCLK value out of range")) << accepted;
    }
    for (const char *refused : {"500", "999", "250000001", "fast"}) {
        log_.clear();
        run(std::string("[Test]\nXMCLK = ") + refused + "\n");
        EXPECT_TRUE(logged("XMCLK value out of range")) << refused;
    }
}

TEST_F(PresetTest, ImageChangesFrameSizeAndOptionallyTheFormat)
{
    const uint32_t type = camera()->sensor->imageType;
    run("[Test]\nIMAGE = 48, 16\n");
    EXPECT_EQ(camera()->sensor->imageWidth, 48u);
    EXPECT_EQ(camera()->sensor->imageHeight, 16u);
    EXPECT_EQ(camera()->sensor->imageType, type);
    run("[Test]\nIMAGE = 32, 8, bayer-12\n");
    EXPECT_EQ(camera()->sensor->imageType, uint32_t(ZE_IMAGE_BAYER12));
    EXPECT_EQ(camera()->sensor->imageBytes, 32u * 8u * 2u);
    run("[Test]\nIMAGE = 32\nIMAGE = 32, 8, bayer-13\nIMAGE = 3x2, 8\n");
    EXPECT_TRUE(logged("Error parsing IMAGE command"));
    EXPECT_TRUE(logged("Invalid value in IMAGE command"));
    EXPECT_EQ(camera()->sensor->imageWidth, 32u);
}

TEST_F(PresetTest, SensorBaseSetsTheWriteAddress)
{
    run("[Test]\nSENSOR_BASE = 0x31\n");
    EXPECT_EQ(camera()->sensor->shipBaseAddr, 0x30u);
    run("[Test]\nSENSOR_BASE = zz\n");
    EXPECT_TRUE(logged("Invalid value in SENSOR_BASE command"));
}

TEST_F(PresetTest, DelaySleepsWithinItsBounds)
{
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    run("[Test]\nDELAY = 30\nDELAY = 0\nDELAY = -5\n");
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(32));
    ScopedPresetLimits limits({.maxWaitMs = 20});
    start = Clock::now();
    run("[Test]\nDELAY = 20000\n");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST_F(BusPresetTest, PagedRegWritesInItsPageAndKeepsItForLaterLines)
{
    EXPECT_EQ(run("[Test]\nREG = 1, 0x04, 0x0123\nREG = 0x30, 0x0042\nREG = 0, 0x30, 0x0043\n"
                  "REG = 0x04, 0x0044\n"),
              INI_SUCCESS);
    EXPECT_EQ(sensor->get(0x04, 1), 0x0123u);
    EXPECT_EQ(sensor->get(0x30, 1), 0x0042u);
    EXPECT_EQ(sensor->get(0x30, 0), 0x0043u);
    EXPECT_EQ(sensor->get(0x04, 0), 0x0044u);
}

TEST_F(BusPresetTest, ASectionStartsInThePageTheSensorHasSelected)
{
    sensor->page = 1;
    sensor->set(0xF0, 1);
    run("[Test]\nREG = 0x30, 0x0077\n");
    EXPECT_EQ(sensor->get(0x30, 1), 0x0077u);
    EXPECT_EQ(sensor->get(0x30, 0), 0x0000u);
}

TEST_F(BusPresetTest, RegBurstWritesConsecutiveRegistersOfAPage)
{
    run("[Test]\nREG_BURST = 1, 0x10, 0x0001, 0x0002, 0x0003, junk, 0x0009\nREG = 0x20, 0x0005\n");
    EXPECT_EQ(sensor->get(0x10, 1), 1u);
    EXPECT_EQ(sensor->get(0x11, 1), 2u);
    EXPECT_EQ(sensor->get(0x12, 1), 3u);
    EXPECT_EQ(sensor->get(0x13, 1), 0u);
    EXPECT_EQ(sensor->get(0x20, 1), 5u); // the burst's page became the current page
    run("[Test]\nREG_BURST = 1, 0x10\n");
    EXPECT_TRUE(log.contains("Error parsing REG_BURST command"));
}

TEST_F(BusPresetTest, MaskedWritesOnEightBitSensorsStartFromTheCachedValue)
{
    run("[Test]\nREG = 0, 0x04, 0x0010\n");
    sensor->set(0x04, 0x0F0F); // changed behind the library's back
    run("[Test]\nBITFIELD = 0, 0x04, 0x00F0, 0xA\n");
    EXPECT_EQ(sensor->get(0x04, 0), 0x00A0u);
    // FIELD_WR reads the device itself.
    sensor->set(0x04, 0x0F0F);
    run("[Test]\nFIELD_WR = GAIN, COARSE, 3\n");
    EXPECT_EQ(sensor->get(0x04, 0), 0x0F3Fu);
}

TEST_F(BusPresetTest, WriteCommandsOfOtherSpacesReportTheirMistakes)
{
    run("[Test]\nVAR = 1, 2\nVAR8 = 1, 2, x\nSFR = 1\nSFR8 = 1, y\nMEM = 1, 2\nMEM32 = 1, 2, z\n"
        "IND = 1\nIND = q, 1\nFAR1 = 1, 2\nFAR2_REG = 1, 2, w\n");
    for (const char *message :
         {"Error parsing VAR command", "Invalid value in VAR command", "Error parsing SFR command",
          "Invalid value in SFR command", "Error parsing MEM command",
          "Invalid value in MEM command", "Error parsing IND command",
          "Invalid value in IND command", "Error parsing FAR_REG command",
          "Invalid value in FAR_REG command"})
        EXPECT_TRUE(log.contains(message)) << message;
}

} // namespace
} // namespace zentro::test

namespace zentro::test {
namespace {

// The system-on-chip sample: MCU variables through its window, special-function registers.
class SystemOnChipPresetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(cameras.cameras.size(), 1u);
        ASSERT_EQ(ze_startTransport(cameras[0]), CAMERA_SUCCESS);
    }
    uint32_t run(const std::string &text)
    {
        writeFile(dir.file("soc.ini"), text);
        return ze_LoadINIPreset(cameras[0], dir.file("soc.ini").c_str(), "Test");
    }
    uint32_t reg(const char *name)
    {
        uint32_t value = 0;
        EXPECT_EQ(ze_ReadSensorRegStr(cameras[0], name, nullptr, &value), CAMERA_SUCCESS) << name;
        return value;
    }

    TempDir dir;
    NullCameras cameras{std::string(ZENTRO_SAMPLE_SENSOR_DIR) + "/zx0016.sdat"};
    LogCapture log;
};

TEST_F(SystemOnChipPresetTest, VariablesAndSpecialFunctionRegistersAreWrittenInTheirSpaces)
{
    EXPECT_EQ(run("[Test]\nVAR8 = 1, 0x02, 0x05\nVAR = 2, 0x12, 0x0345\nVAR = 2, 0x06, 0x0F, 0x7\n"
                  "SFR8 = 0x1051, 0xA5\nSFR = 0x1040, 0xF0, 0x3\n"),
              INI_SUCCESS);
    EXPECT_EQ(reg("SEQ_MODE"), 0x05u);
    EXPECT_EQ(reg("AE_LINES"), 0x0345u);
    EXPECT_EQ(reg("AE_TARGET"), 0x37u); // 0x3C with its low nibble replaced
    EXPECT_EQ(reg("SFR_PORT_DIR"), 0xA5u);
    EXPECT_EQ(reg("SFR_WATCHDOG_CTRL"), 0x30u);
    EXPECT_TRUE(log.lines().empty()) << log.messages().front();
}

TEST_F(SystemOnChipPresetTest, PagedWritesAndPollsOfVariablesUseTheDatabase)
{
    run("[Test]\nREG = 1, 0x10, 0x0140\nREG = 0x11, 0x0120\nPOLL_VAR = 1, 0x04, 0xFF, ==0, "
        "TIMEOUT=3\n");
    EXPECT_EQ(reg("AWB_GAIN_RED"), 0x140u);
    EXPECT_EQ(reg("AWB_GAIN_GREEN"), 0x120u);
    EXPECT_TRUE(log.lines().empty());
}

} // namespace
} // namespace zentro::test
