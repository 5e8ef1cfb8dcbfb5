// Tests of the ADDR_SPACE and REGISTERS sections: spaces, register and bitfield lines, names,
// select registers and the early identity check.
#include <cstring>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "camera/context.h"
#include "sensor_data/sensor_data_test_support.h"
#include "sensor_data/text_reader.h"

namespace zentro::test {
namespace {

using ::testing::ElementsAre;

class RegisterSectionTest : public SensorFileTest
{
protected:
    // Registers after kVersion2Head; the first register line is line kFirstLine.
    int parseRegisters(const std::string &lines)
    {
        return parse(std::string(kVersion2Head) + "[REGISTERS]\n" + lines + "[END]\n");
    }
    static constexpr int kFirstLine = 13;

    // A version-1 file: 8-bit addresses, sensor @name, spaces @spaces, registers @lines.
    int parseVersion1(const std::string &name, const std::string &spaces, const std::string &lines)
    {
        return parse("[CHIP_DESCRIPTOR]\nSENSORNAME = \"" + name +
                     "\"\nSHIP_BASE_ADDRESS = 0x20\n[END]\n[ADDR_SPACE]\n" + spaces +
                     "[END]\n[REGISTERS]\n" + lines + "[END]\n");
    }
};

TEST_F(RegisterSectionTest, Version2LineFillsEveryField)
{
    ASSERT_EQ(parseRegisters("CHIP_VERSION_REG = {0x3000, CORE, 2, 0xFFFF, RO, 0x0C54, "
                             "\"Chip version\" \"Model identifier, {fixed}.\"}\n"),
              PARSE_SUCCESS);
    const ze_reg_t *r = reg("CHIP_VERSION_REG");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->addr, 0x3000u);
    EXPECT_EQ(r->span, 2u);
    EXPECT_EQ(r->mask, 0xFFFFu);
    EXPECT_EQ(r->access, ZE_ACCESS_RO);
    EXPECT_EQ(r->defaultValue, 0x0C54u);
    EXPECT_STREQ(r->displayName, "Chip version");
    EXPECT_STREQ(r->detail, "Model identifier, {fixed}.");
    EXPECT_EQ(r->addrSpace, space("CORE"));
    EXPECT_EQ(r->addrSpaceId, 0u);
    EXPECT_EQ(r->dataType, 1u);
    EXPECT_EQ(r->confidential, 0u);
    EXPECT_EQ(r->bitfieldCount, 0);
    EXPECT_EQ(r->bitfields, nullptr);
}

TEST_F(RegisterSectionTest, Version2LineMayLackItsTextsButVersion1LineNeedsThem)
{
    ASSERT_EQ(parseRegisters("BARE = {0x10, CORE, 1, 0xFF, WO, 3}\n"), PARSE_SUCCESS);
    EXPECT_EQ(reg("BARE")->access, ZE_ACCESS_WO);
    EXPECT_STREQ(reg("BARE")->displayName, "");
    EXPECT_STREQ(reg("BARE")->detail, "");

    const std::string bare = "BARE = {0x10, PAGE1, 0xFF, RW, 3}";
    EXPECT_EQ(parseVersion1("ZX0201", "PAGE0 = {0, \"p0\"}\nPAGE1 = {1, \"p1\"}\n",
                            "FULL = {0x11, PAGE1, 0xFF, ro, 7, \"Full\" \"A full line\"}\n" + bare +
                                "\n"),
              PARSE_REG_ERROR);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage(bare, 11), failedFileMessage()));
    const ze_reg_t *full = reg("FULL");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->span, 1u);
    EXPECT_EQ(full->access, ZE_ACCESS_RO);
    EXPECT_EQ(full->addrSpaceId, 1u);
    EXPECT_EQ(full->addrSpace, space("PAGE1"));
    EXPECT_STREQ(full->detail, "A full line");
    EXPECT_EQ(reg("BARE"), nullptr);
}

TEST_F(RegisterSectionTest, UnknownSpaceGivesIdZeroAndTheFirstSpace)
{
    ASSERT_EQ(parseVersion1("ZX0201", "PAGE0 = {4, \"p0\"}\nPAGE1 = {5, \"p1\"}\n",
                            "A = {0x11, NOWHERE, 0xFF, RW, 7, \"\" \"\"}\n"
                            "B = {0x12, page1, 0xFF, RW, 7, \"\" \"\"}\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(reg("A")->addrSpaceId, 0u);
    EXPECT_EQ(reg("A")->addrSpace, space("PAGE0"));
    EXPECT_EQ(reg("B")->addrSpaceId, 5u); // space names compare case-insensitively
    EXPECT_EQ(reg("B")->addrSpace, space("PAGE1"));

    ASSERT_EQ(parse(std::string(kDescriptor) +
                    "[REGISTERS]\nC = {0x12, CORE, 0xFF, RW, 7, \"\" \"\"}\n[END]\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(reg("C")->addrSpace, nullptr);
    EXPECT_EQ(sensor()->addrSpaces, nullptr);

    // An empty section gives an empty table.
    ASSERT_EQ(parseVersion1("ZX0201", "", "D = {1, X, 0xFF, RW, 0, \"\" \"\"}\n"), PARSE_SUCCESS);
    ASSERT_NE(sensor()->addrSpaces, nullptr);
    EXPECT_EQ(sensor()->addrSpaces->count, 0);
    EXPECT_EQ(reg("D")->addrSpace, nullptr);
}

TEST_F(RegisterSectionTest, BadRegisterLinesAreSkippedAndFailTheFileAtTheEnd)
{
    const char *const bad[] = {
        "TWO WORDS = {0x10, CORE, 1, 0xFF, RW, 0}",
        "NO_BRACES = 0x10, CORE, 1, 0xFF, RW, 0",
        "SHORT = {0x10, CORE, 1, 0xFF, RW}",
        "BAD_ADDR = {0x1G, CORE, 1, 0xFF, RW, 0}",
        "LONG_ACCESS = {0x10, CORE, 1, 0xFF, READ_WRITE, 0}",
        "ODD_SPAN = {0x10, CORE, 3, 0xFF, RW, 0}",
        "WIDE_SPAN = {0x10, CORE, 4, 0xFF, RW, 0}",
    };
    std::string lines;
    for (const char *line : bad)
        lines += std::string(line) + "\n";
    lines += "GOOD = {0x10, CORE, 2, 0xFF, RW, 0}\n";
    EXPECT_EQ(parseRegisters(lines), PARSE_REG_ERROR);
    std::vector<std::string> expected;
    for (size_t i = 0; i < std::size(bad); ++i)
        expected.push_back(syntaxMessage(bad[i], kFirstLine + static_cast<int>(i)));
    expected.push_back(failedFileMessage());
    EXPECT_EQ(errorMessages(), expected);
    EXPECT_EQ(sensor()->regCount, 1);
    EXPECT_NE(reg("GOOD"), nullptr);
}

TEST_F(RegisterSectionTest, OverLongNamesAndTextsAreRefusedOrCut)
{
    const std::string longName(256, 'N');
    const std::string longLine = longName + " = {0x10, CORE, 1, 0xFF, RW, 0}";
    const std::string longSpace = "S = {0x10, " + std::string(40, 'C') + ", 1, 0xFF, RW, 0}";
    EXPECT_EQ(parseRegisters(longLine + "\n" + longSpace +
                             "\nTEXTS = {0x10, CORE, 1, 0xFF, RW, "
                             "0, \"" +
                             std::string(300, 'd') + "\" \"short\"}\n"),
              PARSE_REG_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage(longLine, kFirstLine),
                            syntaxMessage(longSpace, kFirstLine + 1), failedFileMessage()));
    const ze_reg_t *texts = reg("TEXTS");
    ASSERT_NE(texts, nullptr);
    EXPECT_EQ(std::string(texts->displayName), std::string(252, 'd') + "...");
    EXPECT_STREQ(texts->detail, "short");
}

TEST_F(RegisterSectionTest, OverLongRegisterLineIsSplitAndBothPartsFail)
{
    const std::string line =
        "LONG = {0x10, CORE, 1, 0xFF, RW, 0, \"" + std::string(1100, 'x') + "\" \"\"}";
    EXPECT_EQ(parseRegisters(line + "\nAFTER = {0x12, CORE, 1, 0xFF, RW, 0}\n"), PARSE_REG_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage(line.substr(0, 1024), kFirstLine),
                            syntaxMessage(line.substr(1024), kFirstLine), failedFileMessage()));
    EXPECT_NE(reg("AFTER"), nullptr);
}

TEST_F(RegisterSectionTest, BitfieldsBelongToTheRegisterAboveThemAcrossComments)
{
    ASSERT_EQ(parseRegisters("CTRL = {0x10, CORE, 1, 0xFF, RW, 0, \"Control\" \"\"}\n"
                             "    {ENABLE, 0x01, RW, \"Enable\" \"1: on\"}\n"
                             "; a comment inside the list\n"
                             "\n"
                             "  // another one\n"
                             "\t{MODE extra words, 0x06, RO}\n"
                             "{BIT_SECRET, 0x08, WO, \"\" \"\"}\n"
                             "{BITS_SECRET, 0x10, RW}\n"
                             "{bit_public, 0x20, RW}\n"
                             "RESERVED_1 = {0x11, CORE, 1, 0xFF, RW, 0}\n"
                             "reserved_2 = {0x12, CORE, 1, 0xFF, RW, 0}\n"
                             "STATUS = {0x12, CORE, 1, 0xFF, RO, 0}\n"
                             "{READY, 0x1, RO}\n"),
              PARSE_SUCCESS);
    const ze_reg_t *ctrl = reg("CTRL");
    ASSERT_NE(ctrl, nullptr);
    ASSERT_EQ(ctrl->bitfieldCount, 5);
    EXPECT_STREQ(ctrl->bitfields[0].name, "ENABLE");
    EXPECT_EQ(ctrl->bitfields[0].mask, 0x01u);
    EXPECT_STREQ(ctrl->bitfields[0].displayName, "Enable");
    EXPECT_STREQ(ctrl->bitfields[0].detail, "1: on");
    EXPECT_EQ(ctrl->bitfields[0].dataType, 1u);
    EXPECT_STREQ(ctrl->bitfields[1].name, "MODE");
    EXPECT_EQ(ctrl->bitfields[1].access, ZE_ACCESS_RO);
    EXPECT_EQ(ctrl->bitfields[2].access, ZE_ACCESS_WO);
    EXPECT_EQ(ctrl->bitfields[0].confidential, 0u);
    EXPECT_EQ(ctrl->bitfields[2].confidential, 1u);
    EXPECT_EQ(ctrl->bitfields[3].confidential, 1u);
    EXPECT_EQ(ctrl->bitfields[4].confidential, 0u); // the prefixes are case-sensitive
    EXPECT_EQ(ctrl->confidential, 0u);
    EXPECT_EQ(reg("RESERVED_1")->confidential, 1u);
    EXPECT_EQ(reg("reserved_2")->confidential, 0u);
    const ze_reg_t *status = reg("STATUS");
    ASSERT_EQ(status->bitfieldCount, 1);
    EXPECT_STREQ(status->bitfields[0].name, "READY");
}

TEST_F(RegisterSectionTest, ThirtyThreeBitfieldsFitAndTheThirtyFourthFails)
{
    std::string lines = "WIDE = {0x10, CORE, 1, 0xFFFFFFFF, RW, 0}\n";
    for (int bit = 0; bit < 34; ++bit)
        lines += "{F" + std::to_string(bit) + ", 1, RW}\n";
    lines += "NEXT = {0x14, CORE, 1, 0xFF, RW, 0}\n{N0, 1, RW}\n";
    EXPECT_EQ(parseRegisters(lines), PARSE_REG_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage("{F33, 1, RW}", kFirstLine + 34), failedFileMessage()));
    const ze_reg_t *wide = reg("WIDE");
    ASSERT_EQ(wide->bitfieldCount, ZE_MAX_BITFIELDS);
    EXPECT_STREQ(wide->bitfields[32].name, "F32");
    EXPECT_EQ(reg("NEXT")->bitfieldCount, 1);
}

TEST_F(RegisterSectionTest, DuplicateNameIsLoggedWithTheNameAndItsBitfieldsFail)
{
    EXPECT_EQ(parseRegisters("GAIN = {0x10, CORE, 1, 0xFF, RW, 0}\n"
                             "{COARSE, 0x0F, RW}\n"
                             "gain = {0x12, CORE, 1, 0xFF, RW, 0}\n"
                             "{FINE, 0xF0, RW}\n"
                             "OTHER = {0x14, CORE, 1, 0xFF, RW, 0}\n"),
              DUPLICATE_DESC_ERROR);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage("gain", kFirstLine + 2),
                                             syntaxMessage("{FINE, 0xF0, RW}", kFirstLine + 3),
                                             failedFileMessage()));
    EXPECT_THAT(errorCodes(),
                ElementsAre(DUPLICATE_DESC_ERROR, PARSE_REG_ERROR, DUPLICATE_DESC_ERROR));
    ASSERT_EQ(sensor()->regCount, 2);
    EXPECT_EQ(reg("GAIN")->addr, 0x10u);
    EXPECT_EQ(reg("GAIN")->bitfieldCount, 1);
}

TEST_F(RegisterSectionTest, LaterSectionsAddRegisters)
{
    ASSERT_EQ(parse(std::string(kVersion2Head) +
                    "[REGISTERS]\nA = {1, CORE, 1, 0xFF, RW, 0}\n[END]\n"
                    "[REGISTERS]\nB = {2, CORE, 1, 0xFF, RW, 0}\na = {3, CORE, 1, 0xFF, RW, 0}\n"
                    "[END]\n"),
              DUPLICATE_DESC_ERROR);
    EXPECT_EQ(sensor()->regCount, 2);
    EXPECT_NE(reg("A"), nullptr);
    EXPECT_NE(reg("B"), nullptr);
}

TEST_F(RegisterSectionTest, AddressSpaceFormsTypesAndFarParameters)
{
    EXPECT_EQ(parseVersion1("ZX0201",
                            "PLAIN = {7, \"Plain, with comma\"}\n"
                            "VARS = {mcu, 3, \"Variables\"}\n"
                            "MEMORY = {MEM, 4, \"x\"}\n"
                            "IND = {IND, 5}\n"
                            "REMOTE = {FAR1_MCU, 6, \"0x30 16 8\"}\n"
                            "REMOTE2 = {far2, 7, \"0x32 8\"}\n"
                            "ODD = {WEIRD, 8, unquoted text}\n"
                            "BAD NAME = {1, \"x\"}\n"
                            "BAD_ID = {REG, x, \"x\"}\n"
                            "NO_BRACE = 1\n",
                            ""),
              PARSE_ADDR_SPACE_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage("BAD NAME = {1, \"x\"}", 13),
                            syntaxMessage("BAD_ID = {REG, x, \"x\"}", 14),
                            syntaxMessage("NO_BRACE = 1", 15), failedFileMessage()));
    ASSERT_EQ(sensor()->addrSpaces->count, 7);
    const ze_addr_space_t *plain = space("PLAIN");
    EXPECT_EQ(plain->type, ZE_SPACE_REG);
    EXPECT_EQ(plain->id, 7);
    EXPECT_STREQ(plain->description, "Plain, with comma");
    EXPECT_EQ(space("VARS")->type, ZE_SPACE_MCU);
    EXPECT_EQ(space("MEMORY")->type, ZE_SPACE_SFR);
    EXPECT_EQ(space("IND")->type, ZE_SPACE_IND);
    EXPECT_STREQ(space("IND")->description, "");
    const ze_addr_space_t *remote = space("REMOTE");
    EXPECT_EQ(remote->type, ZE_SPACE_FAR1_MCU);
    EXPECT_EQ(remote->farBase, 0x30u);
    EXPECT_EQ(remote->farAddrSize, 16u);
    EXPECT_EQ(remote->farDataSize, 8u);
    EXPECT_EQ(space("REMOTE2")->type, ZE_SPACE_FAR2);
    EXPECT_EQ(space("REMOTE2")->farAddrSize, 8u);
    EXPECT_EQ(space("REMOTE2")->farDataSize, 0u);
    EXPECT_EQ(space("ODD")->type, ZE_SPACE_REG);
    EXPECT_STREQ(space("ODD")->description, "unquoted text");
}

TEST_F(RegisterSectionTest, GrowingSpaceTableKeepsRegistersPointingAtTheirSpaces)
{
    std::string spaces;
    for (int i = 0; i < 120; ++i)
        spaces += "S" + std::to_string(i) + " = {" + std::to_string(i) + ", \"\"}\n";
    ASSERT_EQ(parse(std::string(kDescriptor) +
                    "[ADDR_SPACE]\nS_FIRST = {200, \"\"}\n[END]\n"
                    "[REGISTERS]\nA = {1, S_FIRST, 0xFF, RW, 0, \"\" \"\"}\n[END]\n"
                    "[ADDR_SPACE]\n" +
                    spaces + "[END]\n[REGISTERS]\nB = {2, S99, 0xFF, RW, 0, \"\" \"\"}\n[END]\n"),
              PARSE_SUCCESS);
    ASSERT_EQ(sensor()->addrSpaces->count, 121);
    EXPECT_EQ(reg("A")->addrSpace, space("S_FIRST"));
    EXPECT_EQ(reg("B")->addrSpace, space("S99"));
    EXPECT_EQ(reg("B")->addrSpaceId, 99u);
}

TEST_F(RegisterSectionTest, SelectAddressesFollowTheSensorType)
{
    const std::string spaces = "MAIN = {0, \"\"}\nREMOTE = {FAR1, 1, \"\"}\nREMOTE2 = {FAR2, 2, "
                               "\"\"}\n";
    const std::string select = "ADDR_SPACE_SEL = {0x0D, MAIN, 0xFF, RW, 0, \"\" \"\"}\n";
    ASSERT_EQ(parseVersion1("ZX0008", spaces, select), PARSE_SUCCESS);
    EXPECT_EQ(sensor()->addrSpaces->readSelectAddr, 0x0Du);
    EXPECT_EQ(sensor()->addrSpaces->writeSelectAddr, 0x0Du);

    ASSERT_EQ(parseVersion1("ZX0008", spaces,
                            "addr_space_sel = {0x0E, REMOTE, 0xFF, RW, 0, \"\" \"\"}\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->addrSpaces->far1SelectAddr, 0x0Eu);
    EXPECT_EQ(sensor()->addrSpaces->readSelectAddr, 0u);
    EXPECT_EQ(sensor()->addrSpaces->writeSelectAddr, 0u);

    ASSERT_EQ(parseVersion1("ZX0008", spaces,
                            "ADDR_SPACE_SEL = {0x0F, REMOTE2, 0xFF, RW, 0, \"\" \"\"}\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->addrSpaces->far2SelectAddr, 0x0Fu);

    ASSERT_EQ(parseVersion1("ZX0105", spaces,
                            "2_WIRE_SERIAL_READ_INDEX = {0x20, MAIN, 0xFF, RW, 0, \"\" \"\"}\n"
                            "2_WIRE_SERIAL_WRITE_INDEX = {0x22, MAIN, 0xFF, RW, 0, \"\" \"\"}\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->addrSpaces->readSelectAddr, 0x20u);
    EXPECT_EQ(sensor()->addrSpaces->writeSelectAddr, 0x22u);

    // Other sensor types have no select register.
    ASSERT_EQ(parseVersion1("ZX0201", spaces, select), PARSE_SUCCESS);
    EXPECT_EQ(sensor()->addrSpaces->readSelectAddr, 0u);

    // Near select addresses only for 8-bit register addresses.
    ASSERT_EQ(parse("[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0008\"\nSHIP_BASE_ADDRESS = 0x20\n[END]\n"
                    "[OPTIONAL]\nREG_ADDR_SIZE = 16\n[END]\n[ADDR_SPACE]\n" +
                    spaces + "[END]\n[REGISTERS]\n" + select + "[END]\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->addrSpaces->readSelectAddr, 0u);
    EXPECT_EQ(sensor()->addrSpaces->writeSelectAddr, 0u);
}

// What the installed identity check saw each time it ran.
struct CheckCall {
    std::string sensorName;
    int32_t regCount;
    std::string lastReg;
};
std::vector<CheckCall> gCheckCalls;
bool gCheckAnswer = true;

bool recordingCheck(ze_camera_t *camera)
{
    const ze_sensor_t *s = camera->sensor;
    gCheckCalls.push_back({s->name, s->regCount, s->regs[s->regCount - 1].name});
    return gCheckAnswer;
}

class EarlyIdentityCheckTest : public RegisterSectionTest
{
protected:
    void SetUp() override
    {
        gCheckCalls.clear();
        gCheckAnswer = true;
        setEarlyIdentityCheck(recordingCheck);
        camera->context->ident.probing = 1;
    }
    void TearDown() override { setEarlyIdentityCheck(nullptr); }

    int parseSensor(const std::string &name, int addrSize, const std::string &registers)
    {
        return parse("[CHIP_DESCRIPTOR]\nSENSORNAME = \"" + name +
                     "\"\nSHIP_BASE_ADDRESS = 0x20\n[END]\n[OPTIONAL]\nREG_ADDR_SIZE = " +
                     std::to_string(addrSize) + "\n[END]\n[REGISTERS]\n" + registers + "[END]\n");
    }

    const std::string chipFirst = "A = {1, X, 0xFF, RW, 0, \"\" \"\"}\n"
                                  "CHIP_VERSION_REG = {2, X, 0xFF, RO, 0x54, \"\" \"\"}\n"
                                  "B = {3, X, 0xFF, RW, 0, \"\" \"\"}\n"
                                  "ADDR_SPACE_SEL = {4, X, 0xFF, RW, 0, \"\" \"\"}\n"
                                  "C = {5, X, 0xFF, RW, 0, \"\" \"\"}\n";
    const std::string selectFirst = "ADDR_SPACE_SEL = {4, X, 0xFF, RW, 0, \"\" \"\"}\n"
                                    "CHIP_VERSION_REG = {2, X, 0xFF, RO, 0x54, \"\" \"\"}\n"
                                    "C = {5, X, 0xFF, RW, 0, \"\" \"\"}\n";
};

TEST_F(EarlyIdentityCheckTest, RunsAtTheChipVersionForMostSensors)
{
    ASSERT_EQ(parseSensor("ZX0201", 16, chipFirst), PARSE_SUCCESS);
    ASSERT_EQ(gCheckCalls.size(), 1u);
    EXPECT_EQ(gCheckCalls[0].sensorName, "ZX0201");
    EXPECT_EQ(gCheckCalls[0].regCount, 2);
    EXPECT_EQ(gCheckCalls[0].lastReg, "CHIP_VERSION_REG");
    EXPECT_EQ(camera->context->ident.probing, 0u); // a match ends the probe
    EXPECT_EQ(sensor()->regCount, 5);

    // A 16-bit SoC sensor needs no space select either.
    camera->context->ident.probing = 1;
    gCheckCalls.clear();
    ASSERT_EQ(parseSensor("ZX0005", 16, chipFirst), PARSE_SUCCESS);
    ASSERT_EQ(gCheckCalls.size(), 1u);
    EXPECT_EQ(gCheckCalls[0].lastReg, "CHIP_VERSION_REG");
}

TEST_F(EarlyIdentityCheckTest, WaitsForTheSpaceSelectWhereTheSensorNeedsIt)
{
    for (const char *name : {"ZX0022", "ZX0040", "ZX0073", "ZX0085", "ZX0005"}) {
        SCOPED_TRACE(name);
        for (const std::string *registers : {&chipFirst, &selectFirst}) {
            camera->context->ident.probing = 1;
            gCheckCalls.clear();
            ASSERT_EQ(parseSensor(name, 8, *registers), PARSE_SUCCESS);
            ASSERT_EQ(gCheckCalls.size(), 1u);
            EXPECT_EQ(gCheckCalls[0].lastReg,
                      registers == &chipFirst ? "ADDR_SPACE_SEL" : "CHIP_VERSION_REG");
        }
    }
}

TEST_F(EarlyIdentityCheckTest, MismatchStopsTheRead)
{
    gCheckAnswer = false;
    EXPECT_EQ(parseSensor("ZX0201", 16, chipFirst), SENSOR_DOES_NOT_MATCH);
    EXPECT_THAT(errorMessages(),
                ElementsAre("Early reject: CHIP_VERSION_REG does not match", failedFileMessage()));
    EXPECT_EQ(sensor()->regCount, 2); // nothing after the chip version was read
    EXPECT_EQ(camera->context->ident.probing, 1u);
}

TEST_F(EarlyIdentityCheckTest, CheckSeesTheRecordBeingReadAsTheCameraSensor)
{
    ze_sensor_t candidate{};
    std::string path = write("candidate.sdat", "[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0201\"\n"
                                               "SHIP_BASE_ADDRESS = 0x20\n[END]\n[REGISTERS]\n" +
                                                   chipFirst + "[END]\n");
    ASSERT_EQ(ze_ParseSensorFile(camera, path.c_str(), &candidate), PARSE_SUCCESS);
    ASSERT_EQ(gCheckCalls.size(), 1u);
    EXPECT_EQ(gCheckCalls[0].sensorName, "ZX0201");
    EXPECT_EQ(sensor(), nullptr); // and the camera gets its own record back
    ze_DestructSensor(&candidate);
}

TEST_F(EarlyIdentityCheckTest, NotRunWithoutProbeOrWithoutCheck)
{
    camera->context->ident.probing = 0;
    ASSERT_EQ(parseSensor("ZX0201", 16, chipFirst), PARSE_SUCCESS);
    setEarlyIdentityCheck(nullptr);
    camera->context->ident.probing = 1;
    ASSERT_EQ(parseSensor("ZX0201", 16, chipFirst), PARSE_SUCCESS);
    EXPECT_TRUE(gCheckCalls.empty());
}

} // namespace
} // namespace zentro::test
