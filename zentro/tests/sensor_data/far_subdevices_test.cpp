// Tests of far sub-devices: the SUBDEVICES section, the far-sensor merge and the refresh.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "camera/context.h"
#include "sensor_data/sensor_data_test_support.h"
#include "zentro_osal.h"

namespace zentro::test {
namespace {

using ::testing::ElementsAre;

// An 8-bit far sensor with a space select, two spaces and a bitfield.
const char *const kFar1 = "[CHIP_DESCRIPTOR]\n"
                          "SENSORNAME = \"ZX0008\"\n"
                          "SHIP_BASE_ADDRESS = 0x40\n"
                          "[END]\n"
                          "[OPTIONAL]\n"
                          "REG_DATA_SIZE = 8\n"
                          "PART_NUMBER = \"FARPART\"\n"
                          "[END]\n"
                          "[ADDR_SPACE]\n"
                          "CORE = {REG, 0, \"Far core\"}\n"
                          "VARS = {MCU, 2, \"Far variables\"}\n"
                          "[END]\n"
                          "[REGISTERS]\n"
                          "ID = {0x00, CORE, 0xFF, RO, 0x12, \"Id\" \"\"}\n"
                          "{LOW, 0x0F, RO, \"\" \"\"}\n"
                          "ADDR_SPACE_SEL = {0x0D, CORE, 0xFF, RW, 0, \"\" \"\"}\n"
                          "VAR = {0x10, VARS, 0xFF, RW, 0, \"\" \"\"}\n"
                          "[END]\n";

// A far sensor without address spaces whose own SUBDEVICES must not be followed.
const char *const kFar2 = "[CHIP_DESCRIPTOR]\n"
                          "SENSORNAME = \"ZX0300\"\n"
                          "SHIP_BASE_ADDRESS = 0x48\n"
                          "[END]\n"
                          "[OPTIONAL]\n"
                          "REG_ADDR_SIZE = 16\n"
                          "[END]\n"
                          "[REGISTERS]\n"
                          "X = {0x1000, NONE, 0xFFFF, RW, 0, \"\" \"\"}\n"
                          "[END]\n"
                          "[SUBDEVICES]\n"
                          "NESTED = {FAR1, 0x50, \"missing.sdat\"}\n"
                          "[END]\n";

std::string mainFile(const std::string &registers, const std::string &subdevices)
{
    return "[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0201\"\nSHIP_BASE_ADDRESS = 0x20\n[END]\n"
           "[OPTIONAL]\nSDAT_VERSION = 2\nREG_ADDR_SIZE = 16\n[END]\n"
           "[ADDR_SPACE]\nMAIN = {REG, 0, \"Main\"}\n[END]\n"
           "[REGISTERS]\nCHIP_VERSION_REG = {0x3000, MAIN, 1, 0xFFFF, RO, 1}\n" +
           registers + "[END]\n[SUBDEVICES]\n" + subdevices + "[END]\n";
}

const std::string kSubdevices = "CAM = {FAR1, 0x30, \"sub/far1.sdat\"}\n"
                                "SER = {far2, 0x32, \"far2.sdat\"}\n";

class FarSensorTest : public SensorFileTest
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.file("main/sub"));
        write("main/sub/far1.sdat", kFar1);
        write("main/far2.sdat", kFar2);
        char cwd[OSAL_MAX_PATH];
        osal_getcwd(cwd, sizeof(cwd));
        startDirectory = cwd;
    }

    int parseMain(const std::string &registers = "", const std::string &subdevices = kSubdevices)
    {
        return parse(mainFile(registers, subdevices), "main/main.sdat");
    }

    std::string currentDirectory() const
    {
        char cwd[OSAL_MAX_PATH];
        osal_getcwd(cwd, sizeof(cwd));
        return cwd;
    }

    int countRegs(const char *name)
    {
        int count = 0;
        for (int32_t i = 0; i < sensor()->regCount; ++i)
            count += strcmp(sensor()->regs[i].name, name) == 0;
        return count;
    }

    std::string startDirectory;
};

TEST_F(FarSensorTest, SubdevicesAppendSpacesAndRenamedRegisters)
{
    ASSERT_EQ(parseMain(), PARSE_SUCCESS);
    EXPECT_EQ(currentDirectory(), startDirectory);
    const ze_addr_space_list_t *table = sensor()->addrSpaces;
    ASSERT_EQ(table->count, 4);

    const ze_addr_space_t *core = space("CAM.CORE");
    ASSERT_NE(core, nullptr);
    EXPECT_STREQ(core->description, "CAM Far core");
    EXPECT_EQ(core->type, ZE_SPACE_FAR1);
    EXPECT_EQ(core->farBase, 0x30u);
    EXPECT_EQ(core->farAddrSize, 8u);
    EXPECT_EQ(core->farDataSize, 8u);
    const ze_addr_space_t *vars = space("CAM.VARS");
    ASSERT_NE(vars, nullptr);
    EXPECT_EQ(vars->type, ZE_SPACE_FAR1_MCU);
    EXPECT_EQ(vars->id, 2);
    const ze_addr_space_t *serCore = space("SER.CORE");
    ASSERT_NE(serCore, nullptr);
    EXPECT_STREQ(serCore->description, "SER Registers");
    EXPECT_EQ(serCore->type, ZE_SPACE_FAR2);
    EXPECT_EQ(serCore->farBase, 0x32u);
    EXPECT_EQ(serCore->farAddrSize, 16u);
    EXPECT_EQ(table->far1SelectAddr, 0x0Du);
    EXPECT_EQ(table->far2SelectAddr, 0u);

    ASSERT_EQ(sensor()->regCount, 5);
    const ze_reg_t *id = reg("CAM.ID");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->addrSpace, core);
    EXPECT_EQ(id->defaultValue, 0x12u);
    ASSERT_EQ(id->bitfieldCount, 1);
    EXPECT_STREQ(id->bitfields[0].name, "LOW");
    EXPECT_EQ(reg("CAM.VAR")->addrSpace, vars);
    EXPECT_EQ(reg("SER.X")->addrSpace, serCore);
    EXPECT_EQ(reg("CHIP_VERSION_REG")->addrSpace, space("MAIN"));

    const ze_sensor_t *far1 = sensor()->farSensor1;
    ASSERT_NE(far1, nullptr);
    EXPECT_STREQ(far1->name, "ZX0008");
    EXPECT_STREQ(far1->partNumber, "FARPART");
    EXPECT_EQ(far1->shipBaseAddr, 0x30u);
    EXPECT_EQ(far1->regs, nullptr);
    EXPECT_EQ(far1->regCount, 0);
    EXPECT_EQ(far1->addrSpaces, nullptr);
    ASSERT_NE(sensor()->farSensor2, nullptr);
    EXPECT_EQ(sensor()->farSensor2->shipBaseAddr, 0x32u);
    EXPECT_STREQ(ze_FarID(camera, ZE_SPACE_FAR1), "CAM");
    EXPECT_STREQ(ze_FarID(camera, ZE_SPACE_FAR2), "SER");
    // The main file's own identification data is kept.
    EXPECT_EQ(camera->context->ident.baseAddrs[0], 0x20u);
}

TEST_F(FarSensorTest, SubdevicesNeedAnAddressSpaceTable)
{
    ASSERT_EQ(parse("[CHIP_DESCRIPTOR]\nSHIP_BASE_ADDRESS = 0x20\n[END]\n[SUBDEVICES]\n" +
                        kSubdevices + "[END]\n",
                    "main/main.sdat"),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->farSensor1, nullptr);
    EXPECT_EQ(sensor()->regCount, 0);
}

TEST_F(FarSensorTest, BadSubdeviceLinesAndFailingFarFiles)
{
    const std::string badKind = "X = {FAR3, 0x30, \"far2.sdat\"}";
    const std::string noFile = "Y = {FAR1, 0x30}";
    EXPECT_EQ(parseMain("", badKind + "\n" + noFile + "\nSER = {FAR2, 0x32, \"far2.sdat\"}\n"),
              PARSE_REG_ERROR);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage(badKind, 16), syntaxMessage(noFile, 17),
                                             failedFileMessage()));
    EXPECT_NE(sensor()->farSensor2, nullptr);

    log.clear();
    EXPECT_EQ(parseMain("", "GONE = {FAR1, 0x30, \"gone.sdat\"}\n"), PARSE_FILE_ERROR);
    EXPECT_THAT(errorMessages(), ElementsAre("unable to open file gone.sdat", failedFileMessage()));
    EXPECT_EQ(currentDirectory(), startDirectory);
}

TEST_F(FarSensorTest, MergeChecksItsArgumentsAndNamesDefaults)
{
    std::string far2 = dir.file("main/far2.sdat");
    EXPECT_EQ(ze_ParseFarSensorFile(camera, "X", ZE_SPACE_FAR1_MCU, 0x30, far2.c_str(), nullptr),
              PARSE_FILE_ERROR);
    EXPECT_EQ(ze_ParseFarSensorFile(nullptr, "X", ZE_SPACE_FAR1, 0x30, far2.c_str(), nullptr),
              CAMERA_ERROR);
    EXPECT_EQ(ze_ParseFarSensorFile(camera, "X", ZE_SPACE_FAR1, 0x30, far2.c_str(), nullptr),
              SENSOR_NOT_INITIALIZED);

    // A record without spaces gets a plain register space before the far ones.
    ASSERT_EQ(ze_AllocSensor(camera), 0);
    ASSERT_EQ(ze_ParseFarSensorFile(camera, nullptr, ZE_SPACE_FAR1, 0x30, far2.c_str(), nullptr),
              PARSE_SUCCESS);
    ASSERT_EQ(ze_ParseFarSensorFile(camera, nullptr, ZE_SPACE_FAR2, 0x32, far2.c_str(), nullptr),
              PARSE_SUCCESS);
    const ze_addr_space_list_t *table = sensor()->addrSpaces;
    ASSERT_EQ(table->count, 3);
    EXPECT_STREQ(table->spaces[0].name, "REG");
    EXPECT_STREQ(table->spaces[0].description, "Registers");
    EXPECT_STREQ(table->spaces[1].name, "FAR1.CORE");
    EXPECT_STREQ(table->spaces[2].name, "FAR2.CORE");
    EXPECT_NE(reg("FAR1.X"), nullptr);
    EXPECT_EQ(reg("FAR2.X")->addrSpace, &table->spaces[2]);
    EXPECT_STREQ(ze_FarID(camera, ZE_SPACE_FAR1), "FAR1");

    // A file-playback camera calls its first far device the sensor.
    sensor()->sensorType = 36;
    ASSERT_EQ(ze_ParseFarSensorFile(camera, nullptr, ZE_SPACE_FAR1, 0x30, far2.c_str(), nullptr),
              PARSE_SUCCESS);
    EXPECT_NE(reg("SENSOR.X"), nullptr);
    EXPECT_STREQ(ze_FarID(camera, ZE_SPACE_FAR1), "SENSOR");
}

TEST_F(FarSensorTest, SensorTypesThatMergeDifferently)
{
    // Type 110 keeps only the far copy.
    std::string head = mainFile("", kSubdevices);
    std::string noMerge = head;
    noMerge.replace(noMerge.find("ZX0201"), 6, "ZX0110");
    ASSERT_EQ(parse(noMerge, "main/main.sdat"), PARSE_SUCCESS);
    EXPECT_EQ(sensor()->regCount, 1);
    EXPECT_EQ(sensor()->addrSpaces->count, 1);
    EXPECT_NE(sensor()->farSensor1, nullptr);

    // Type 159 drops the single-unit registers of an 8-bit far device.
    write("main/narrow.sdat", "[CHIP_DESCRIPTOR]\nSHIP_BASE_ADDRESS = 0x40\n[END]\n"
                              "[OPTIONAL]\nSDAT_VERSION = 2\nREG_DATA_SIZE = 8\n[END]\n"
                              "[REGISTERS]\nONE = {0, X, 1, 0xFF, RW, 0}\n"
                              "TWO = {2, X, 2, 0xFFFF, RW, 0}\n[END]\n");
    std::string narrow = mainFile("", "N = {FAR1, 0x30, \"narrow.sdat\"}\n");
    narrow.replace(narrow.find("ZX0201"), 6, "ZX0159");
    ASSERT_EQ(parse(narrow, "main/main.sdat"), PARSE_SUCCESS);
    EXPECT_EQ(reg("N.ONE"), nullptr);
    EXPECT_NE(reg("N.TWO"), nullptr);
}

TEST_F(FarSensorTest, MergeWaitsForTheGrabLock)
{
    ASSERT_EQ(parseMain("", ""), PARSE_SUCCESS);
    ASSERT_TRUE(camera->context->grabLock);
    std::promise<void> held;
    std::promise<void> release;
    std::thread holder([&] {
        camera->context->grabLock->lock();
        held.set_value();
        release.get_future().wait();
        camera->context->grabLock->unlock();
    });
    held.get_future().wait();
    std::string far2 = dir.file("main/far2.sdat");
    auto merge = std::async(std::launch::async, [&] {
        return ze_ParseFarSensorFile(camera, "SER", ZE_SPACE_FAR2, 0x32, far2.c_str(), nullptr);
    });
    EXPECT_EQ(merge.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    EXPECT_EQ(sensor()->farSensor2, nullptr);
    release.set_value();
    holder.join();
    EXPECT_EQ(merge.get(), PARSE_SUCCESS);
    EXPECT_NE(sensor()->farSensor2, nullptr);
}

TEST_F(FarSensorTest, RefreshReplacesRegistersAndMergesTheFarFilesAgain)
{
    ASSERT_EQ(parseMain(), PARSE_SUCCESS);
    ze_sensor_t *record = sensor();
    write("main/main.sdat",
          "[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0202\"\nSHIP_BASE_ADDRESS = (0x20 0x22)\n[END]\n"
          "[OPTIONAL]\nSDAT_VERSION = 2\nSENSOR_VERSION = 3\nPART_NUMBER = \"NEWPART\"\n[END]\n"
          "[ADDR_SPACE]\nMAIN = {REG, 0, \"Main\"}\n[END]\n"
          "[REGISTERS]\nCHIP_VERSION_REG = {0x3000, MAIN, 1, 0xFFFF, RO, 2}\n"
          "ADDED = {0x3002, MAIN, 1, 0xFFFF, RW, 0}\n[END]\n"
          "[SUBDEVICES]\nCAM = {FAR1, 0x30, \"sub/far1.sdat\"}\n[END]\n");
    // A relative name is found beside the current sensor file.
    ASSERT_EQ(ze_RefreshSensorFile(camera, "main.sdat"), PARSE_SUCCESS);
    EXPECT_EQ(sensor(), record);
    EXPECT_STREQ(record->name, "ZX0202");
    EXPECT_EQ(record->sensorType, 202u);
    EXPECT_EQ(record->sensorVersion, 3u);
    EXPECT_STREQ(record->partNumber, "NEWPART");
    EXPECT_STREQ(record->versionName, "REV3");
    EXPECT_EQ(reg("CHIP_VERSION_REG")->defaultValue, 2u);
    EXPECT_NE(reg("ADDED"), nullptr);
    // The far devices stay, each merged once.
    EXPECT_EQ(countRegs("CAM.ID"), 1);
    EXPECT_EQ(countRegs("SER.X"), 1);
    EXPECT_EQ(record->regCount, 6);
    EXPECT_EQ(record->addrSpaces->count, 4);
    ASSERT_NE(record->farSensor1, nullptr);
    EXPECT_EQ(record->farSensor1->shipBaseAddr, 0x30u);
    EXPECT_STREQ(ze_FarID(camera, ZE_SPACE_FAR2), "SER");
    EXPECT_EQ(camera->context->ident.baseAddrCount, 2);
    EXPECT_STREQ(camera->context->ident.named[PartNumbers].entries[0].name, "NEWPART");
    char full[OSAL_MAX_PATH];
    ASSERT_EQ(osal_fullpath(lastPath.c_str(), full, sizeof(full)), 1);
    EXPECT_STREQ(record->fileName, full);
    EXPECT_EQ(currentDirectory(), startDirectory);
}

TEST_F(FarSensorTest, FailedRefreshLeavesTheRecordAsItWas)
{
    EXPECT_EQ(ze_RefreshSensorFile(camera, "main.sdat"), CAMERA_ERROR);
    ASSERT_EQ(parseMain(), PARSE_SUCCESS);
    EXPECT_EQ(ze_RefreshSensorFile(camera, nullptr), CAMERA_ERROR);
    write("main/broken.sdat", "[CHIP_DESCRIPTOR]\nSHIP_BASE_ADDRESS = 0x20\n[END]\n"
                              "[REGISTERS]\nBROKEN = {\n[END]\n");
    EXPECT_EQ(ze_RefreshSensorFile(camera, "broken.sdat"), PARSE_REG_ERROR);
    EXPECT_STREQ(sensor()->name, "ZX0201");
    EXPECT_EQ(sensor()->regCount, 5);
    EXPECT_EQ(countRegs("CAM.ID"), 1);
}

} // namespace
} // namespace zentro::test
