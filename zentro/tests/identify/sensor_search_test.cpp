// The search for the attached sensor's file: candidates in name order, the three passes,
// rejected candidates, absent devices, named files, the default file and cancellation.
#include <filesystem>
#include <thread>

#include "identify/identify_test_support.h"

namespace zentro::test {
namespace {

constexpr const char *kParseFailed = "No match because parse failed";

TEST_F(IdentifyTest, TheFileWhoseChipVersionAnswersIsLoaded)
{
    sensorAt(0x20, 0x2222);
    add("a.sdat", {.chipVersion = 0x1111});
    add("b.sdat", {.chipVersion = 0x2222, .optional = "PART_NUMBER = \"ZB-2222\"\n"});
    add("c.sdat", {.chipVersion = 0x3333});
    ASSERT_EQ(identify(), CAMERA_SUCCESS);
    ASSERT_NE(camera->sensor, nullptr);
    EXPECT_STREQ(camera->sensor->partNumber, "ZB-2222");
    EXPECT_EQ(camera->sensor->fileName, dir.file("b.sdat"));
    EXPECT_EQ(camera->sensor->shipBaseAddr, 0x20u);
    // a.sdat was read only up to its chip version; c.sdat was never needed.
    EXPECT_EQ(logged("Early reject: CHIP_VERSION_REG does not match"), 1u);
    EXPECT_EQ(logged(kParseFailed), 1u);
}

TEST_F(IdentifyTest, TwoMatchingFilesGiveTheFirstByName)
{
    sensorAt(0x20, 0x2222);
    add("zz.sdat", {.chipVersion = 0x2222, .optional = "PART_NUMBER = \"LATER\"\n"});
    add("aa.sdat", {.chipVersion = 0x2222, .optional = "PART_NUMBER = \"EARLIER\"\n"});
    ASSERT_EQ(identify(), CAMERA_SUCCESS);
    EXPECT_STREQ(camera->sensor->partNumber, "EARLIER");
}

TEST_F(IdentifyTest, NoCandidateOrNoPathIsReported)
{
    EXPECT_EQ(identify(), SENSOR_DOES_NOT_MATCH);
    EXPECT_EQ(logged("No sdat files found in `" + dir.path() + "`"), 3u); // once per pass
    EXPECT_EQ(camera->sensor, nullptr);

    EXPECT_EQ(_getSensor(camera, dir.file("missing").c_str()), SENSOR_DOES_NOT_MATCH);
    EXPECT_EQ(logged("No sdat files found in `" + dir.file("missing") + "`"), 1u);
    EXPECT_EQ(_getSensor(camera, ""), CAMERA_SUCCESS);
    EXPECT_EQ(_getSensor(camera, nullptr), CAMERA_SUCCESS);
    EXPECT_EQ(camera->sensor, nullptr);

    camera->readSensorRegisters = nullptr;
    EXPECT_EQ(identify(), CAMERA_ERROR);
}

TEST_F(IdentifyTest, EachPassFindsItsKindOfSensor)
{
    // 32-bit addresses answer the first pass's wish for 16.
    sensorAt(0x20, 0x3232, 32);
    add("wide.sdat", {.chipVersion = 0x3232, .addrBits = 32});
    ASSERT_EQ(identify(), CAMERA_SUCCESS);
    EXPECT_EQ(logged("No matches found"), 0u);

    // An 8-bit plain sensor only in the second pass, an 8-bit SoC only in the third.
    TempDir narrow;
    sensorAt(0x30, 0x0808, 8);
    writeFile(narrow.file("plain8.sdat"),
              Candidate{.chipVersion = 0x0808, .bases = {0x30}, .addrBits = 8}.text());
    ASSERT_EQ(_getSensor(camera, narrow.path().c_str()), CAMERA_SUCCESS);
    EXPECT_EQ(logged("No matches found ["), 1u);
    EXPECT_EQ(logged("No matches found ignoring SOC"), 0u);

    TempDir soc;
    writeFile(
        soc.file("soc8.sdat"),
        Candidate{.type = kSocType, .chipVersion = 0x0808, .bases = {0x30}, .addrBits = 8}.text());
    ASSERT_EQ(_getSensor(camera, soc.path().c_str()), CAMERA_SUCCESS);
    EXPECT_EQ(logged("No matches found ["), 2u);
    EXPECT_EQ(logged("No matches found ignoring SOC"), 1u);
    EXPECT_EQ(ze_IsSOC(camera), 1);
}

TEST_F(IdentifyTest, BrokenCandidatesAreSkippedAndTheSearchGoesOn)
{
    sensorAt(0x20, 0x2222);
    writeFile(dir.file("0_empty.sdat"), "");
    writeFile(dir.file("1_garbage.sdat"), std::string(5000, '\x01') + "\n[REGISTERS]\n{{{\n");
    writeFile(dir.file("2_truncated.sdat"), Candidate{.chipVersion = 0x2222}.text().substr(0, 90));
    writeFile(dir.file("3_huge.sdat"), "[CHIP_DESCRIPTOR]\n" + std::string(20u << 20, ';') + "\n");
    std::filesystem::create_directory(dir.file("4_directory.sdat"));
    writeFile(dir.file("5_bad.xsdat"), "<sensor name=\"ZX0201\"><registers><reg");
    add("6_good.sdat", {.chipVersion = 0x2222, .optional = "PART_NUMBER = \"GOOD\"\n"});
    ASSERT_EQ(identify(), CAMERA_SUCCESS);
    EXPECT_STREQ(camera->sensor->partNumber, "GOOD");
    EXPECT_EQ(logged(kParseFailed), 6u);
}

TEST_F(IdentifyTest, AbsentDevicesAreProbedOncePerIdentification)
{
    sensorAt(0x20, 0x2222);
    for (char c = 'a'; c <= 'e'; ++c)
        add(std::string(1, c) + ".sdat", {.chipVersion = 0x4444, .bases = {0x40}});
    add("f.sdat", {.chipVersion = 0x2222});
    ASSERT_EQ(identify(), CAMERA_SUCCESS);
    // The first file's probe met silence at 0x40 (with its retries); the others skipped it.
    const size_t probes = transfersAt(0x40);
    EXPECT_GE(probes, 1u);
    EXPECT_LE(probes, 6u);
    EXPECT_EQ(logged("no device at the base address"), 4u);

    // A match forgets what was absent: the next identification probes again.
    bus.clearLog();
    ASSERT_EQ(identify(), CAMERA_SUCCESS);
    EXPECT_EQ(transfersAt(0x40), probes);
}

TEST_F(IdentifyTest, LaterBaseAddressAnswersWhenTheFirstIsSilent)
{
    sensorAt(0x36, 0x2222);
    add("a.sdat", {.chipVersion = 0x2222, .bases = {0x20, 0x36}});
    ASSERT_EQ(identify(), CAMERA_SUCCESS);
    EXPECT_EQ(camera->sensor->shipBaseAddr, 0x36u);
}

TEST_F(IdentifyTest, ANamedFileIsLoadedWithoutTests)
{
    add("a.sdat", {.chipVersion = 0x9999});
    ASSERT_EQ(_getSensor(camera, dir.file("a.sdat").c_str()), CAMERA_SUCCESS);
    EXPECT_EQ(camera->sensor->regCount, 1);
    EXPECT_EQ(bus.transfers().size(), 0u);

    writeFile(dir.file("broken.sdat"), "[CHIP_DESCRIPTOR]\nWIDTH = \n");
    EXPECT_EQ(_getSensor(camera, dir.file("broken.sdat").c_str()), SENSOR_FILE_PARSE_ERROR);
    EXPECT_EQ(camera->sensor, nullptr);
}

// A transport whose getMode counts the match tests and cancels the search, from another
// thread, at the third.
int cancellingGetMode(ze_camera_t *camera, uint32_t mode, uint32_t *value)
{
    static int calls = 0;
    if (mode != 93)
        return _GetMode(camera, mode, value);
    if (++calls == 3)
        std::thread([] { ze_CancelProbe(); }).join();
    return CAMERA_NOT_SUPPORTED;
}

TEST_F(IdentifyTest, CancellationStopsBeforeTheNextFile)
{
    sensorAt(0x20, 0x2222);
    for (int i = 0; i < 10; ++i)
        add("c" + std::to_string(i) + ".sdat", {.chipVersion = 0x1000u + i});
    camera->getMode = cancellingGetMode;
    EXPECT_EQ(identify(), CAMERA_ERROR);
    EXPECT_EQ(logged("Sensor data file search cancelled before completing"), 1u);
    EXPECT_EQ(logged(kParseFailed), 3u);
    EXPECT_EQ(camera->sensor, nullptr);
}

// A transport that decides the match itself: only the file of chip version 0x7777.
int decidingGetMode(ze_camera_t *camera, uint32_t mode, uint32_t *value)
{
    if (mode != 93)
        return _GetMode(camera, mode, value);
    ze_reg_t *reg = ze_FindRegister(camera, "CHIP_VERSION_REG");
    return reg && reg->defaultValue == 0x7777 ? CAMERA_SUCCESS : CAMERA_ERROR;
}

TEST_F(IdentifyTest, ATransportMayDecideTheMatchItself)
{
    add("a.sdat", {.chipVersion = 0x1111});
    add("b.sdat", {.chipVersion = 0x7777, .optional = "PART_NUMBER = \"DECIDED\"\n"});
    camera->getMode = decidingGetMode;
    ASSERT_EQ(identify(), CAMERA_SUCCESS);
    EXPECT_STREQ(camera->sensor->partNumber, "DECIDED");
    EXPECT_TRUE(bus.transfers().empty());
}

TEST_F(IdentifyTest, DetectSensorBaseAddrFindsTheAnsweringAddressOrRestores)
{
    sensorAt(0x36, 0x2222);
    add("a.sdat", {.chipVersion = 0x2222, .bases = {0x20, 0x36}});
    ASSERT_EQ(_getSensor(camera, dir.file("a.sdat").c_str()), CAMERA_SUCCESS);
    ASSERT_EQ(camera->sensor->shipBaseAddr, 0x20u);
    EXPECT_EQ(ze_DetectSensorBaseAddr(camera), 0);
    EXPECT_EQ(camera->sensor->shipBaseAddr, 0x36u);

    bus.device(0x36).set(kChipVersionAddr, 0x5555);
    EXPECT_EQ(ze_DetectSensorBaseAddr(camera), 1);
    EXPECT_EQ(camera->sensor->shipBaseAddr, 0x36u);
}

} // namespace
} // namespace zentro::test
