// The sample sensor-data, far, chip and board-configuration files of sensor_data/: each reads
// without an error and describes the sensor that its README and the simulated board promise.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "camera/context.h"
#include "sensor_data/sensor_record.h"
#include "support/test_support.h"
#include "zentro.h"
#include "zentro_board.h"
#include "zentro_sensor_data.h"

namespace {

namespace fs = std::filesystem;
using zentro::test::ChipRecord;
using zentro::test::LogCapture;
using zentro::test::ScopedEnv;
using zentro::test::TestCamera;

const std::string kSampleDir = ZENTRO_SAMPLE_SENSOR_DIR;
const std::string kSensorCorpusDir = ZENTRO_FUZZ_CORPUS_DIR "/sensor_file_fuzz";
const std::string kChipCorpusDir = ZENTRO_FUZZ_CORPUS_DIR "/chip_file_fuzz";

std::string sample(const std::string &name)
{
    return kSampleDir + "/" + name;
}

const ze_reg_t *findReg(const ze_sensor_t *sensor, const char *name)
{
    for (int32_t i = 0; i < sensor->regCount; ++i) {
        if (std::strcmp(sensor->regs[i].name, name) == 0)
            return &sensor->regs[i];
    }
    return nullptr;
}

const ze_reg_t *findChipReg(const ze_chip_t &chip, const char *name)
{
    for (int32_t i = 0; i < chip.regCount; ++i) {
        if (std::strcmp(chip.regs[i].name, name) == 0)
            return &chip.regs[i];
    }
    return nullptr;
}

const ze_bitfield_t *findField(const ze_reg_t *reg, const char *name)
{
    for (int32_t i = 0; reg && i < reg->bitfieldCount; ++i) {
        if (std::strcmp(reg->bitfields[i].name, name) == 0)
            return &reg->bitfields[i];
    }
    return nullptr;
}

int bitfieldTotal(const ze_reg_t *regs, int32_t count)
{
    int total = 0;
    for (int32_t i = 0; i < count; ++i)
        total += regs[i].bitfieldCount;
    return total;
}

// Lines the reader logged as errors (syntax errors, early rejects, failed files).
std::vector<std::string> errorLines(const LogCapture &log)
{
    std::vector<std::string> errors;
    for (const auto &line : log.lines()) {
        if (line.code != 0 || (line.level & (ZE_LOG_SEVERE | ZE_LOG_ERROR)))
            errors.push_back(line.message);
    }
    return errors;
}

// A camera that has read one sample file; the log of that read is kept.
class SampleSensor : public ::testing::Test
{
protected:
    void read(const std::string &name)
    {
        path_ = sample(name);
        ASSERT_EQ(ze_ParseSensorFile(camera_, path_.c_str(), nullptr), PARSE_SUCCESS) << path_;
        EXPECT_EQ(errorLines(log_), std::vector<std::string>{}) << path_;
        sensor_ = camera_->sensor;
        ASSERT_NE(sensor_, nullptr);
    }

    const ze_reg_t *reg(const char *name)
    {
        const ze_reg_t *r = findReg(sensor_, name);
        EXPECT_NE(r, nullptr) << name;
        return r;
    }

    const zentro::IdentData &ident() { return camera_->context->ident; }

    LogCapture log_;
    TestCamera camera_;
    std::string path_;
    ze_sensor_t *sensor_ = nullptr;
};

TEST_F(SampleSensor, Zx0201IsTheSimulatedBoardsTwelveBitBayerSensor)
{
    read("zx0201.sdat");
    EXPECT_STREQ(sensor_->name, "ZX0201");
    EXPECT_EQ(sensor_->sensorType, 201u);
    EXPECT_STREQ(sensor_->fileName, path_.c_str());
    EXPECT_EQ(sensor_->width, 1920u);
    EXPECT_EQ(sensor_->height, 1200u);
    EXPECT_EQ(sensor_->imageWidth, 1920u);
    EXPECT_EQ(sensor_->imageHeight, 1200u);
    EXPECT_EQ(sensor_->bitsPerPixel, 12u);
    EXPECT_EQ(sensor_->pixelBytes, 2u);
    EXPECT_EQ(sensor_->imageBytes, 1920u * 1200u * 2u);
    EXPECT_EQ(sensor_->imageType, 12u); // Bayer 12
    EXPECT_EQ(sensor_->shipBaseAddr, 0x20u);
    EXPECT_EQ(sensor_->regAddrSize, 16u);
    EXPECT_EQ(sensor_->regDataSize, 16u);
    EXPECT_STREQ(sensor_->partNumber, "ZX0201");
    EXPECT_STREQ(sensor_->versionName, "REV1");
    EXPECT_EQ(sensor_->regCount, 52);
    EXPECT_EQ(bitfieldTotal(sensor_->regs, sensor_->regCount), 47);

    ASSERT_NE(sensor_->addrSpaces, nullptr);
    ASSERT_EQ(sensor_->addrSpaces->count, 1);
    EXPECT_STREQ(sensor_->addrSpaces->spaces[0].name, "CORE");
    EXPECT_EQ(sensor_->addrSpaces->readSelectAddr, 0u);

    // What the simulated board and identification rely on.
    const ze_reg_t *chip = reg("CHIP_VERSION_REG");
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->addr, 0x3000u);
    EXPECT_EQ(chip->defaultValue, 0x0C54u);
    EXPECT_EQ(chip->access, ZE_ACCESS_RO);
    EXPECT_EQ(chip->addrSpace, &sensor_->addrSpaces->spaces[0]);
    const ze_reg_t *frames = reg("FRAME_COUNT");
    ASSERT_NE(frames, nullptr);
    EXPECT_EQ(frames->addr, 0x303Au);
    const ze_reg_t *timestamp = reg("FRAME_TIMESTAMP");
    ASSERT_NE(timestamp, nullptr);
    EXPECT_EQ(timestamp->span, 2u);
    EXPECT_EQ(timestamp->mask, 0xFFFFFFFFu);
    const ze_reg_t *lineLength = reg("LINE_LENGTH_PCK");
    ASSERT_NE(lineLength, nullptr);
    EXPECT_EQ(lineLength->addr, 0x3112u);
    EXPECT_EQ(lineLength->defaultValue, 2200u);
    EXPECT_STREQ(lineLength->displayName, "Line length");

    const ze_reg_t *analog = reg("RESERVED_ANALOG_CTRL_0");
    ASSERT_NE(analog, nullptr);
    EXPECT_EQ(analog->confidential, 1u);
    const ze_bitfield_t *pump = findField(analog, "BIT_CHARGE_PUMP");
    ASSERT_NE(pump, nullptr);
    EXPECT_EQ(pump->confidential, 1u);
    EXPECT_EQ(pump->mask, 0x0200u);
    EXPECT_EQ(chip->confidential, 0u);

    EXPECT_EQ(ident().baseAddrCount, 1);
    EXPECT_EQ(ident().baseAddrs[0], 0x20u);
    ASSERT_EQ(ident().groups[0].versionReadCount, 1);
    EXPECT_STREQ(ident().groups[0].versionReads[0].regName, "CHIP_VERSION_REG");
}

TEST_F(SampleSensor, Zx0042HasEightBitRegistersWithMultiRegisterValues)
{
    read("zx0042.sdat");
    EXPECT_STREQ(sensor_->name, "ZX0042");
    EXPECT_EQ(sensor_->sensorType, 42u);
    EXPECT_EQ(ze_IsSOC(camera_), 0);
    EXPECT_EQ(sensor_->width, 1280u);
    EXPECT_EQ(sensor_->height, 800u);
    EXPECT_EQ(sensor_->bitsPerPixel, 10u);
    EXPECT_EQ(sensor_->pixelBytes, 2u);
    EXPECT_EQ(sensor_->imageBytes, 1280u * 800u * 2u);
    EXPECT_EQ(sensor_->imageType, 2u); // Bayer 10
    EXPECT_EQ(sensor_->shipBaseAddr, 0x6Cu);
    EXPECT_EQ(sensor_->regAddrSize, 8u);
    EXPECT_EQ(sensor_->regDataSize, 8u);
    EXPECT_EQ(sensor_->regDataLE, 0u);
    EXPECT_STREQ(sensor_->partNumber, "ZX0042");
    EXPECT_EQ(sensor_->regCount, 53);
    EXPECT_EQ(bitfieldTotal(sensor_->regs, sensor_->regCount), 43);

    // A flat map: no address-space table, so no register has a space.
    EXPECT_EQ(sensor_->addrSpaces, nullptr);
    for (int32_t i = 0; i < sensor_->regCount; ++i) {
        EXPECT_EQ(sensor_->regs[i].addrSpace, nullptr) << sensor_->regs[i].name;
        EXPECT_EQ(sensor_->regs[i].addrSpaceId, 0u) << sensor_->regs[i].name;
        EXPECT_LE(sensor_->regs[i].span * sensor_->regDataSize, 32u) << sensor_->regs[i].name;
    }

    const ze_reg_t *chip = reg("CHIP_VERSION_REG");
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(chip->addr, 0x00u);
    EXPECT_EQ(chip->span, 2u);
    EXPECT_EQ(chip->defaultValue, 0x9A42u);
    const ze_reg_t *uniqueId = reg("UNIQUE_ID");
    ASSERT_NE(uniqueId, nullptr);
    EXPECT_EQ(uniqueId->addr, 0x04u);
    EXPECT_EQ(uniqueId->span, 4u);
    const ze_reg_t *exposure = reg("COARSE_INTEGRATION_TIME");
    ASSERT_NE(exposure, nullptr);
    EXPECT_EQ(exposure->addr, 0x10u);
    EXPECT_EQ(exposure->span, 2u);
    EXPECT_EQ(exposure->defaultValue, 0x0200u);
    const ze_reg_t *frameLength = reg("FRAME_LENGTH_LINES");
    ASSERT_NE(frameLength, nullptr);
    EXPECT_EQ(frameLength->defaultValue, 833u);
    const ze_reg_t *reset = reg("SOFTWARE_RESET");
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->access, ZE_ACCESS_WO);

    // A public register may hold a confidential bitfield.
    const ze_reg_t *pll = reg("PLL_CTRL");
    ASSERT_NE(pll, nullptr);
    EXPECT_EQ(pll->confidential, 0u);
    ASSERT_NE(findField(pll, "BIT_PLL_TEST_OUT"), nullptr);
    EXPECT_EQ(findField(pll, "BIT_PLL_TEST_OUT")->confidential, 1u);
    ASSERT_NE(findField(pll, "PLL_ENABLE"), nullptr);
    EXPECT_EQ(findField(pll, "PLL_ENABLE")->confidential, 0u);
    const ze_reg_t *trim = reg("RESERVED_TIMING_CTRL");
    ASSERT_NE(trim, nullptr);
    EXPECT_EQ(trim->confidential, 1u);

    EXPECT_EQ(ident().baseAddrCount, 1);
    EXPECT_EQ(ident().baseAddrs[0], 0x6Cu);
    ASSERT_EQ(ident().groupCount, 1);
    ASSERT_EQ(ident().groups[0].versionReadCount, 1);
    const auto &revision = ident().groups[0].versionReads[0];
    EXPECT_STREQ(revision.regName, "REVISION_NUMBER");
    EXPECT_EQ(revision.mask, 0xF0u);
    ASSERT_EQ(revision.valueCount, 2);
    EXPECT_EQ(revision.values[0], 1u);
    EXPECT_EQ(revision.values[1], 2u);
}

TEST_F(SampleSensor, Zx0016HasPagesMcuVariablesAndSpecialFunctionRegisters)
{
    read("zx0016.sdat");
    EXPECT_STREQ(sensor_->name, "ZX0016");
    EXPECT_EQ(sensor_->sensorType, 16u);
    EXPECT_NE(ze_IsSOC(camera_), 0);
    EXPECT_EQ(sensor_->width, 1280u);
    EXPECT_EQ(sensor_->height, 960u);
    EXPECT_EQ(sensor_->imageType, 5u); // YCbCr
    EXPECT_EQ(sensor_->bitsPerPixel, 16u);
    EXPECT_EQ(sensor_->pixelBytes, 2u);
    EXPECT_EQ(sensor_->imageBytes, 1280u * 960u * 2u);
    EXPECT_EQ(sensor_->shipBaseAddr, 0x90u);
    EXPECT_EQ(sensor_->regAddrSize, 8u);
    EXPECT_EQ(sensor_->regDataSize, 16u);
    EXPECT_EQ(sensor_->sensorVersion, 2u);
    EXPECT_STREQ(sensor_->partNumber, "ZX0016");
    EXPECT_STREQ(sensor_->versionName, "REV2");
    EXPECT_STREQ(sensor_->productVariant, "");

    const ze_addr_space_list_t *table = sensor_->addrSpaces;
    ASSERT_NE(table, nullptr);
    // The page select register is found by the name that sensor type 16 uses.
    EXPECT_EQ(table->readSelectAddr, 0xF0u);
    EXPECT_EQ(table->writeSelectAddr, 0xF0u);
    struct Space {
        const char *name;
        int32_t id;
        ze_addr_space_type_t type;
    };
    const Space spaces[] = {{"CORE", 0, ZE_SPACE_REG}, {"IFP", 1, ZE_SPACE_REG},
                            {"CAM", 2, ZE_SPACE_REG},  {"MON", 0, ZE_SPACE_MCU},
                            {"SEQ", 1, ZE_SPACE_MCU},  {"AE", 2, ZE_SPACE_MCU},
                            {"AWB", 3, ZE_SPACE_MCU},  {"FD", 4, ZE_SPACE_MCU},
                            {"MODE", 7, ZE_SPACE_MCU}, {"SFR", 0, ZE_SPACE_SFR}};
    ASSERT_GE(table->count, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_STREQ(table->spaces[i].name, spaces[i].name);
        EXPECT_EQ(table->spaces[i].id, spaces[i].id) << spaces[i].name;
        EXPECT_EQ(table->spaces[i].type, spaces[i].type) << spaces[i].name;
    }
    EXPECT_STREQ(table->spaces[1].description,
                 "Colour pipe and microcontroller port registers (page 1)");

    // Equal addresses in different pages are different registers.
    const ze_reg_t *chip = reg("CHIP_VERSION_REG");
    const ze_reg_t *pipe = reg("COLOR_PIPE_CTRL");
    const ze_reg_t *mipi = reg("MIPI_CTRL");
    ASSERT_TRUE(chip && pipe && mipi);
    EXPECT_EQ(chip->addr, 0x00u);
    EXPECT_EQ(chip->defaultValue, 0x1643u);
    EXPECT_EQ(chip->addrSpaceId, 0u);
    EXPECT_EQ(pipe->addr, 0x01u);
    EXPECT_EQ(pipe->addrSpaceId, 1u);
    EXPECT_STREQ(pipe->addrSpace->name, "IFP");
    EXPECT_EQ(mipi->addr, 0x01u);
    EXPECT_EQ(mipi->addrSpaceId, 2u);

    const ze_reg_t *window = reg("MCU_ADDRESS");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->addr, 0xC0u);
    EXPECT_STREQ(window->addrSpace->name, "IFP");
    EXPECT_EQ(findField(window, "MCU_DRIVER_ID")->mask, 0x1F00u);
    ASSERT_NE(reg("MCU_DATA_0"), nullptr);

    const ze_reg_t *target = reg("AE_TARGET");
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->addr, 0x06u);
    EXPECT_EQ(target->addrSpaceId, 2u);
    EXPECT_EQ(target->addrSpace->type, ZE_SPACE_MCU);
    EXPECT_EQ(target->defaultValue, 0x3Cu);
    const ze_reg_t *build = reg("MON_FW_BUILD");
    ASSERT_NE(build, nullptr);
    EXPECT_EQ(build->mask, 0xFFFFFFFFu);
    const ze_reg_t *watchdog = reg("SFR_WATCHDOG_CTRL");
    ASSERT_NE(watchdog, nullptr);
    EXPECT_EQ(watchdog->addr, 0x1040u);
    EXPECT_EQ(watchdog->addrSpace->type, ZE_SPACE_SFR);

    const ze_reg_t *exposure = reg("COARSE_INTEGRATION_TIME");
    ASSERT_NE(exposure, nullptr);
    EXPECT_EQ(exposure->span, 2u);
    EXPECT_EQ(exposure->mask, 0x000FFFFFu);
    const ze_reg_t *bias = reg("RESERVED_CORE_BIAS_0");
    ASSERT_NE(bias, nullptr);
    EXPECT_EQ(bias->confidential, 1u);
    EXPECT_EQ(findField(bias, "BITS_ADC_BIAS")->confidential, 1u);
}

TEST_F(SampleSensor, Zx0016IdentificationKeys)
{
    read("zx0016.sdat");
    const zentro::IdentData &id = ident();
    ASSERT_EQ(id.baseAddrCount, 2);
    EXPECT_EQ(id.baseAddrs[0], 0x90u);
    EXPECT_EQ(id.baseAddrs[1], 0xBAu);

    ASSERT_EQ(id.groupCount, 2);
    const zentro::IdentGroup &production = id.groups[0];
    EXPECT_STREQ(production.resetIf.regName, "MCU_BOOT_MODE");
    EXPECT_EQ(production.resetIf.mask, 0x0001u);
    EXPECT_STREQ(production.extraDesc.regName, "DIE_VARIANT");
    EXPECT_EQ(production.extraDesc.mask, 0x000Fu);
    ASSERT_EQ(production.extraDesc.valueCount, 2);
    EXPECT_EQ(production.extraDesc.values[1], 4u);
    ASSERT_EQ(production.versionWriteCount, 2);
    EXPECT_STREQ(production.versionWrites[0].regName, "OTP_CONTROL");
    EXPECT_LT(production.versionWrites[0].waitMs, 0);
    EXPECT_STREQ(production.versionWrites[1].regName, "OTP_STATUS");
    EXPECT_EQ(production.versionWrites[1].waitMs, 20);
    ASSERT_EQ(production.versionReadCount, 1);
    EXPECT_EQ(production.versionReads[0].valueCount, 2);

    const zentro::IdentGroup &samples = id.groups[1];
    ASSERT_EQ(samples.versionReadCount, 2);
    EXPECT_STREQ(samples.versionReads[1].regName, "MCU_BOOT_MODE");
    EXPECT_EQ(samples.versionReads[1].mask, 0x0100u);
    EXPECT_STREQ(samples.extraDesc.regName, "");

    const zentro::NamedIdentList &parts = id.named[zentro::PartNumbers];
    ASSERT_EQ(parts.count, 4);
    EXPECT_STREQ(parts.entries[0].name, "ZX0016");
    EXPECT_STREQ(parts.entries[0].regName, "");
    EXPECT_EQ(parts.entries[0].serial.base, 0u);
    EXPECT_STREQ(parts.entries[2].name, "ZX0016-MAA");
    EXPECT_STREQ(parts.entries[2].regName, "OTP_MODULE_INFO");
    ASSERT_EQ(parts.entries[2].valueCount, 1);
    EXPECT_EQ(parts.entries[2].values[0], 1u);
    const zentro::NamedIdentEntry &eeprom = parts.entries[3];
    EXPECT_STREQ(eeprom.name, "ZX0016-CAA-EM");
    EXPECT_EQ(eeprom.serial.base, 0xA0u);
    EXPECT_EQ(eeprom.serial.regAddr, 0x00u);
    EXPECT_EQ(eeprom.serial.addrSize, 8u);
    EXPECT_EQ(eeprom.serial.dataSize, 8u);
    // A serial test keeps its own mask and values.
    EXPECT_EQ(eeprom.serial.mask, 0xFFu);
    ASSERT_EQ(eeprom.serial.valueCount, 2);
    EXPECT_EQ(eeprom.serial.values[1], 0x17u);
    EXPECT_EQ(id.named[zentro::ProductVariants].count, 2);
    EXPECT_EQ(id.named[zentro::VersionNames].count, 2);
    EXPECT_EQ(id.named[zentro::MinorVersions].count, 0);
}

TEST_F(SampleSensor, Zx0016MergesItsPowerManagerAsFarDevice)
{
    read("zx0016.sdat");
    constexpr int32_t kMainRegisters = 92;
    constexpr int32_t kFarRegisters = 14;
    ASSERT_EQ(sensor_->regCount, kMainRegisters + kFarRegisters);
    EXPECT_EQ(bitfieldTotal(sensor_->regs, kMainRegisters), 83);
    EXPECT_EQ(bitfieldTotal(sensor_->regs + kMainRegisters, kFarRegisters), 17);

    const ze_addr_space_list_t *table = sensor_->addrSpaces;
    ASSERT_EQ(table->count, 11);
    const ze_addr_space_t &far = table->spaces[10];
    EXPECT_STREQ(far.name, "PMIC.CORE");
    EXPECT_STREQ(far.description, "PMIC Registers");
    EXPECT_EQ(far.type, ZE_SPACE_FAR1);
    EXPECT_EQ(far.farBase, 0x98u);
    EXPECT_EQ(far.farAddrSize, 8u);
    EXPECT_EQ(far.farDataSize, 8u);
    EXPECT_EQ(far.farDataLE, 0u);
    EXPECT_EQ(table->far1SelectAddr, 0u); // the far file has no pages

    // The far registers follow the sensor's own, named after the far device.
    for (int32_t i = kMainRegisters; i < sensor_->regCount; ++i) {
        EXPECT_EQ(std::strncmp(sensor_->regs[i].name, "PMIC.", 5), 0) << sensor_->regs[i].name;
        EXPECT_EQ(sensor_->regs[i].addrSpace, &far) << sensor_->regs[i].name;
    }
    const ze_reg_t *farChip = reg("PMIC.CHIP_VERSION_REG");
    ASSERT_NE(farChip, nullptr);
    EXPECT_EQ(farChip->addr, 0x00u);
    EXPECT_EQ(farChip->defaultValue, 0x31u);
    EXPECT_EQ(farChip->mask, 0xFFu);
    const ze_reg_t *status = reg("PMIC.STATUS");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->bitfieldCount, 5);
    EXPECT_EQ(findField(status, "THERMAL_WARNING")->mask, 0x10u);
    EXPECT_EQ(reg("PMIC.RESERVED_TRIM_0")->confidential, 1u); // marked as read, kept by the merge
    EXPECT_EQ(findReg(sensor_, "STATUS"), nullptr);

    // Every register points into the grown table.
    for (int32_t i = 0; i < sensor_->regCount; ++i) {
        const ze_addr_space_t *space = sensor_->regs[i].addrSpace;
        ASSERT_NE(space, nullptr) << sensor_->regs[i].name;
        EXPECT_GE(space, table->spaces) << sensor_->regs[i].name;
        EXPECT_LT(space, table->spaces + table->count) << sensor_->regs[i].name;
    }

    ASSERT_NE(sensor_->farSensor1, nullptr);
    EXPECT_STREQ(sensor_->farSensor1->name, "ZXP310");
    EXPECT_EQ(sensor_->farSensor1->shipBaseAddr, 0x98u);
    EXPECT_EQ(sensor_->farSensor1->regCount, 0);
    EXPECT_EQ(sensor_->farSensor1->regs, nullptr);
    EXPECT_EQ(sensor_->farSensor1->addrSpaces, nullptr);
    EXPECT_EQ(sensor_->farSensor2, nullptr);
    ASSERT_NE(ze_FarID(camera_, ZE_SPACE_FAR1), nullptr);
    EXPECT_STREQ(ze_FarID(camera_, ZE_SPACE_FAR1), "PMIC");
    EXPECT_EQ(ze_FarID(camera_, ZE_SPACE_FAR2), nullptr);
}

TEST_F(SampleSensor, FarFileReadsAloneInTheFormWithoutSpans)
{
    read("far/zxp310.sdat");
    EXPECT_STREQ(sensor_->name, "ZXP310");
    EXPECT_EQ(sensor_->sensorType, 0u);
    EXPECT_EQ(camera_->context->sdatVersion, 1u);
    EXPECT_EQ(sensor_->shipBaseAddr, 0x98u);
    EXPECT_EQ(sensor_->regAddrSize, 8u);
    EXPECT_EQ(sensor_->regDataSize, 8u);
    EXPECT_EQ(sensor_->addrSpaces, nullptr);
    ASSERT_EQ(sensor_->regCount, 14);
    for (int32_t i = 0; i < sensor_->regCount; ++i)
        EXPECT_EQ(sensor_->regs[i].span, 1u) << sensor_->regs[i].name;
    const ze_reg_t *voltage = reg("AVDD_VOLTAGE");
    ASSERT_NE(voltage, nullptr);
    EXPECT_EQ(voltage->addr, 0x12u);
    EXPECT_EQ(voltage->mask, 0x3Fu);
    EXPECT_EQ(voltage->defaultValue, 0x20u);
    EXPECT_STREQ(voltage->displayName, "AVDD voltage");
    EXPECT_EQ(reg("RESERVED_TRIM_0")->confidential, 1u);
}

// Every sensor file of the folder (a new sample included) reads cleanly and can be
// identified; the fuzz seeds are copies of the samples.
TEST(SampleSensors, EverySampleReadsWithoutErrorsAndHasAChipVersion)
{
    std::vector<fs::path> files;
    for (const auto &dir : {fs::path(kSampleDir), fs::path(kSampleDir) / "far"}) {
        for (const auto &entry : fs::directory_iterator(dir)) {
            if (entry.path().extension() == ".sdat")
                files.push_back(entry.path());
        }
    }
    ASSERT_GE(files.size(), 4u);
    for (const auto &file : files) {
        LogCapture log;
        TestCamera camera;
        ASSERT_EQ(ze_ParseSensorFile(camera, file.c_str(), nullptr), PARSE_SUCCESS) << file;
        EXPECT_EQ(errorLines(log), std::vector<std::string>{}) << file;
        const ze_reg_t *chip = findReg(camera->sensor, "CHIP_VERSION_REG");
        ASSERT_NE(chip, nullptr) << file;
        EXPECT_EQ(chip->access, ZE_ACCESS_RO) << file;
        EXPECT_NE(camera->sensor->shipBaseAddr, 0u) << file;
        EXPECT_EQ(zentro::test::readFile(kSensorCorpusDir + "/" + file.filename().string()),
                  zentro::test::readFile(file.string()))
            << file << " differs from its fuzz seed";
    }
}

TEST(SampleChips, HeadBoardControllerHasTwoAddressesAndWideValues)
{
    LogCapture log;
    TestCamera camera;
    ChipRecord record;
    const std::string path = sample("chips/zxh210.chip");
    ASSERT_EQ(ze_ParseChipFile(camera, path.c_str(), &record.chip), PARSE_SUCCESS);
    EXPECT_EQ(errorLines(log), std::vector<std::string>{});
    const ze_chip_t &chip = record.chip;
    EXPECT_STREQ(chip.name, "ZXH210");
    ASSERT_EQ(chip.baseAddrCount, 2);
    EXPECT_EQ(chip.baseAddrs[0], 0x64u);
    EXPECT_EQ(chip.baseAddrs[1], 0x66u);
    EXPECT_EQ(chip.activeBaseAddr, 0x64u);
    EXPECT_EQ(chip.serialAddrSize, 16u);
    EXPECT_EQ(chip.serialDataSize, 16u);
    EXPECT_EQ(chip.dataLE, 0u);
    EXPECT_EQ(chip.regCount, 14);
    EXPECT_EQ(bitfieldTotal(chip.regs, chip.regCount), 20);

    const ze_reg_t *version = findChipReg(chip, "CHIP_VERSION_REG");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->defaultValue, 0x2100u);
    const ze_reg_t *clock = findChipReg(chip, "EXTCLK_FREQUENCY");
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ(clock->addr, 0x0202u);
    EXPECT_EQ(clock->span, 2u);
    EXPECT_EQ(clock->defaultValue, 24000000u);
    EXPECT_STREQ(clock->displayName, "EXTCLK frequency");
    const ze_reg_t *control = findChipReg(chip, "SENSOR_CONTROL");
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->span, 1u);
    EXPECT_EQ(findField(control, "CAM1_RESET_N")->mask, 0x0010u);
}

TEST(SampleChips, ClockGeneratorMasksAreHexadecimalWithoutPrefix)
{
    LogCapture log;
    TestCamera camera;
    ChipRecord record;
    const std::string path = sample("chips/zxc105.chip");
    ASSERT_EQ(ze_ParseChipFile(camera, path.c_str(), &record.chip), PARSE_SUCCESS);
    EXPECT_EQ(errorLines(log), std::vector<std::string>{});
    const ze_chip_t &chip = record.chip;
    EXPECT_STREQ(chip.name, "ZXC105");
    ASSERT_EQ(chip.baseAddrCount, 1);
    EXPECT_EQ(chip.baseAddrs[0], 0xD0u);
    EXPECT_EQ(chip.serialAddrSize, 8u);
    EXPECT_EQ(chip.serialDataSize, 8u);
    EXPECT_EQ(chip.regCount, 15);
    EXPECT_EQ(bitfieldTotal(chip.regs, chip.regCount), 11);
    const ze_reg_t *output = findChipReg(chip, "CLK0_CTRL");
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(findField(output, "CLK0_INVERT")->mask, 0x10u);
    EXPECT_EQ(findField(output, "CLK0_DRIVE")->mask, 0x0Cu);
    EXPECT_EQ(findField(findChipReg(chip, "PLL_CTRL"), "PLL_LOCKED")->mask, 0x80u);
    EXPECT_EQ(findChipReg(chip, "CHIP_VERSION_REG")->defaultValue, 0x15u);
}

TEST(SampleChips, BoardConfigurationNamesBothChips)
{
    // Found beside the sensor files it is given; the homes must not offer another one.
    ScopedEnv homeDev("ZE_HOME_DEV", nullptr);
    ScopedEnv home("ZE_HOME", nullptr);
    TestCamera camera;
    ASSERT_EQ(camera->productID, 0u);
    const std::string chipDir = sample("chips");
    ze_chip_t *chips = _parseBoardConfigFile(camera, chipDir.c_str());
    ASSERT_NE(chips, nullptr);
    ASSERT_EQ(camera->boardChipCount, 2);
    EXPECT_STREQ(chips[0].name, "ZXH210");
    EXPECT_STREQ(chips[1].name, "ZXC105");
    // Nothing answers on a camera without transport: each keeps its first address.
    EXPECT_EQ(chips[0].activeBaseAddr, 0x64u);
    EXPECT_EQ(chips[1].activeBaseAddr, 0xD0u);
    for (const char *seed : {"ZE_0.cfg", "zxh210.chip", "zxc105.chip"})
        EXPECT_EQ(zentro::test::readFile(kChipCorpusDir + "/" + seed),
                  zentro::test::readFile(chipDir + "/" + seed))
            << seed << " differs from its fuzz seed";
}

} // namespace
