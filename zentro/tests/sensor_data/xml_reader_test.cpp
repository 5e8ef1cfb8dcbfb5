// Tests of the XML sensor-data reader: elements, attributes, limits, finishing steps and bad
// input.
#include <cstdio>
#include <cstring>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "camera/context.h"
#include "sensor_data/sensor_data_test_support.h"
#include "sensor_data/text_reader.h"

namespace zentro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A sensor element (line 2) around @body (from line 3).
std::string xmlFile(const std::string &body, const std::string &sensorAttributes = "")
{
    return "<?xml version=\"1.0\"?>\n<sensor name=\"ZX0201\" ship_base_address=\"0x20\" " +
           sensorAttributes + ">\n" + body + "</sensor>\n";
}

// Sixteen-bit addresses and data: registers step by two addresses.
const std::string kWide = "reg_addr_size=\"16\" reg_data_size=\"16\"";
const std::string kNarrowData = "reg_data_size=\"8\"";

class XmlSensorFileTest : public SensorFileTest
{
protected:
    int parseXml(const std::string &body, const std::string &attributes = "",
                 const std::string &name = "sensor.xsdat")
    {
        return parse(xmlFile(body, attributes), name);
    }
    uint32_t mode(uint32_t which) { return storedMode(camera, which); }
    IdentData &ident() { return camera->context->ident; }
};

TEST_F(XmlSensorFileTest, SensorAttributesFillTheRecordTheModesAndTheBaseAddresses)
{
    ASSERT_EQ(parse("<?xml version=\"1.0\"?>\n"
                    "<SENSOR Name=\" ZX0201 \" part_number=\"ZX0201-A\" version=\"3\" "
                    "version_name=\"B1\" minor_version=\"2\" width=\"1920\" height=\"1080\" "
                    "full_width=\"2048\" full_height=\"1200\" range_size=\"128\" velo_size=\"64\" "
                    "ant_ula_size=\"8\" ant_group_size=\"2\" image_type=\"bayer\" "
                    "bits_per_clock=\"12\" clocks_per_pixel=\"1\" pixel_clock_polarity=\"0\" "
                    "reg_addr_size=\"16\" reg_data_size=\"16\" reg_data_le=\"Y\" "
                    "ship_base_address=\"0x20 0x30\" ship_speed=\"1000\" spi_speed=\"2000\" "
                    "connection_type=\"hispi\" lanes=\"HD4\" serial_bit_depth=\"12\" "
                    "embedded_data=\"N\" hispi_msb_first=\"1\" lsb_aligned=\"Y\" ccir_656=\"y\" "
                    "interlaced=\"0\" ccp_class=\"2\" mipi_virtual_channel=\"1\" "
                    "mipi_max_bit_rate=\"1500\" hispi_sync_code=\"0x1234\" "
                    "hispi_mode=\"ActiveStart-SP8\" future_attribute=\"ignored\"/>\n"),
              PARSE_SUCCESS);
    const ze_sensor_t *s = sensor();
    EXPECT_STREQ(s->name, "ZX0201");
    EXPECT_EQ(s->sensorType, 201u);
    EXPECT_STREQ(s->partNumber, "ZX0201-A");
    EXPECT_EQ(s->sensorVersion, 3u);
    EXPECT_STREQ(s->versionName, "B1");
    EXPECT_EQ(s->minorVersion, 2u);
    EXPECT_EQ(s->imageWidth, 1920u);
    EXPECT_EQ(s->imageHeight, 1080u);
    EXPECT_EQ(s->width, 2048u);
    EXPECT_EQ(s->height, 1200u);
    EXPECT_EQ(s->rangeSize, 128u);
    EXPECT_EQ(s->velocitySize, 64u);
    EXPECT_EQ(s->antennaArraySize, 8u);
    EXPECT_EQ(s->antennaGroupSize, 2u);
    EXPECT_EQ(s->bitsPerPixel, 12u);
    EXPECT_EQ(s->imageType, 12u); // Bayer refined by 12 bits per pixel
    EXPECT_EQ(s->imageBytes, 1920u * 1080u * 2u);
    EXPECT_EQ(s->regAddrSize, 16u);
    EXPECT_EQ(s->regDataSize, 16u);
    EXPECT_EQ(s->regDataLE, 1u);
    EXPECT_EQ(s->shipBaseAddr, 0x20u);
    EXPECT_EQ(ident().baseAddrCount, 2);
    EXPECT_EQ(ident().baseAddrs[1], 0x30u);
    EXPECT_EQ(ident().shipSpeed, 1000u);
    EXPECT_EQ(ident().spiSpeed, 2000u);
    EXPECT_EQ(ident().named[PartNumbers].count, 1);
    EXPECT_STREQ(ident().named[PartNumbers].entries[0].name, "ZX0201-A");
    EXPECT_EQ(mode(ZE_BITS_PER_CLOCK), 12u);
    EXPECT_EQ(mode(ZE_PIXCLK_POLARITY), 0u);
    EXPECT_EQ(mode(ZE_RX_TYPE), 4u);
    EXPECT_EQ(mode(ZE_RX_LANES), 0x10000004u);
    EXPECT_EQ(mode(ZE_RX_BIT_DEPTH), 12u);
    EXPECT_EQ(mode(ZE_RX_EMBEDDED_DATA), 0u);
    EXPECT_EQ(mode(ZE_RX_MSB_FIRST), 1u);
    EXPECT_EQ(mode(ZE_LSB_ALIGNED), 1u);
    EXPECT_EQ(mode(ZE_RX_CCIR656), 1u);
    EXPECT_EQ(mode(ZE_RX_INTERLACED), 0u);
    EXPECT_EQ(mode(ZE_RX_CLASS), 2u);
    EXPECT_EQ(mode(ZE_RX_VIRTUAL_CHANNEL), 1u);
    EXPECT_EQ(mode(ZE_RX_MAX_BIT_RATE), 1500u);
    EXPECT_EQ(mode(ZE_RX_SYNC_CODE), 0x1234u);
    EXPECT_EQ(mode(ZE_RX_MODE), 4u);
    EXPECT_THAT(errorMessages(), IsEmpty());
}

TEST_F(XmlSensorFileTest, FrameSizeFollowsWidthUnlessFullSizeIsGivenAndTenBitBayerIsType2)
{
    ASSERT_EQ(parseXml("", "width=\"800\" height=\"600\" image_type=\"BAYER_HDR\" "
                           "bits_per_clock=\"10\""),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->width, 800u);
    EXPECT_EQ(sensor()->height, 600u);
    EXPECT_EQ(sensor()->imageType, 2u);
    ASSERT_EQ(parseXml("", "full_width=\"1000\" width=\"800\""), PARSE_SUCCESS);
    EXPECT_EQ(sensor()->width, 1000u);
    EXPECT_EQ(sensor()->imageWidth, 800u);
}

TEST_F(XmlSensorFileTest, BadSensorValuesAreReportedAndBadRegisterSizesFailTheFile)
{
    EXPECT_EQ(parseXml("", "version=\"abc\" image_type=\"PNG\""), PARSE_SUCCESS);
    EXPECT_EQ(sensor()->sensorVersion, 1u);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage("sensor: unusable value version=\"abc\"", 2),
                            syntaxMessage("sensor: unusable value image_type=\"PNG\"", 2)));
    log.clear();
    EXPECT_EQ(parseXml("", "reg_addr_size=\"12\""), CHIP_DESC_ERROR);
    EXPECT_EQ(errorMessages().front(),
              syntaxMessage("register address size should be 8, 16 or 32: 12", 2));
}

TEST_F(XmlSensorFileTest, EarlyRejectsFollowTheSensorElement)
{
    EXPECT_EQ(parse("<?xml version=\"1.0\"?>\n<sensor name=\"ZX0201\"/>\n"), SENSOR_DOES_NOT_MATCH);
    EXPECT_TRUE(log.contains(
        "Early reject: There is no SHIP_BASE_ADDRESS, or no device at the base address(es)"));
    log.clear();
    EXPECT_EQ(parse("<?xml version=\"1.0\"?>\n<sensor name=\"ZX0201\" "
                    "ship_base_address=\"1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\">"
                    "<registers><reg name=\"A\" addr=\"0\"/></registers></sensor>\n"),
              SENSOR_FILE_PARSE_ERROR);
    EXPECT_TRUE(log.contains("Early reject: Too many alternate SHIP base addresses"));
    EXPECT_EQ(sensor()->regCount, 0);
    log.clear();
    ident().wantedAddrSize = 16;
    EXPECT_EQ(parseXml(""), SENSOR_DOES_NOT_MATCH);
    EXPECT_TRUE(log.contains("Early reject: Register address size does not match"));
}

TEST_F(XmlSensorFileTest, RegistersTakeEveryAttributeAndTheirDetails)
{
    ASSERT_EQ(parseXml("<addr_spaces>\n"
                       "<space name=\"CORE\" type=\"REG\" value=\"0\" desc=\"Core\"/>\n"
                       "<space name=\"VARS\" type=\"mcu\" value=\"2\" desc=\"Variables\"/>\n"
                       "<space name=\"FARC\" type=\"FAR1\" value=\"4\" far_base=\"0x48\" "
                       "far_addr_size=\"16\" far_data_size=\"8\" far_data_le=\"Y\"/>\n"
                       "</addr_spaces>\n<registers>\n"
                       "<REG NAME=\"GAIN\" addr=\"0x3060\" space=\"core\" mask=\"0xFF\" rw=\"ROx\" "
                       "default=\"0x12\" display_name=\"Gain\" ext_name=\"analog.gain\" "
                       "datatype=\"signed\" range=\" -4  100 \" volatile=\"yes\" "
                       "confidential=\"Partly\" overwrite_check=\"OTPM_ERR\" "
                       "check_bitmask=\"0xF0\" check_value=\"0x10\">"
                       "<detail>Analog </detail><detail>gain &amp; more</detail></REG>\n"
                       "<reg name=\"VAR\" addr=\"0x10\" space=\"VARS\"/>\n"
                       "<reg name=\"LAST_SPACE\" addr=\"0x20\"/>\n"
                       "<reg name=\"NO_SUCH_SPACE\" addr=\"0x30\" space=\"NOPE\"/>\n"
                       "</registers>\n",
                       kWide),
              PARSE_SUCCESS);
    ASSERT_EQ(sensor()->regCount, 4);
    const ze_reg_t *gain = reg("GAIN");
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->addr, 0x3060u);
    EXPECT_STREQ(gain->addrSpace->name, "CORE");
    EXPECT_EQ(gain->mask, 0xFFu);
    EXPECT_EQ(gain->access, ZE_ACCESS_RO);
    EXPECT_EQ(gain->defaultValue, 0x12u);
    EXPECT_STREQ(gain->displayName, "Gain");
    EXPECT_STREQ(gain->externalName, "analog.gain");
    EXPECT_EQ(gain->dataType, ze_DataTypeFromString("signed"));
    EXPECT_EQ(gain->rangeMin, ze_Str2Int(static_cast<int>(gain->dataType), "-4", 0xFF));
    EXPECT_EQ(gain->rangeMax, 100u);
    EXPECT_EQ(gain->isVolatile, 1u);
    EXPECT_EQ(gain->confidential, 2u);
    EXPECT_EQ(gain->overwriteCheck, 2u);
    EXPECT_EQ(gain->checkBitmask, 0xF0u);
    EXPECT_EQ(gain->checkValue, 0x10u);
    EXPECT_STREQ(gain->detail, "gain & more"); // each detail element starts afresh
    EXPECT_EQ(reg("VAR")->addrSpaceId, 2u);
    EXPECT_STREQ(reg("VAR")->addrSpace->name, "VARS");
    // Without a space the register lies in the last space of the table.
    EXPECT_STREQ(reg("LAST_SPACE")->addrSpace->name, "FARC");
    EXPECT_EQ(reg("NO_SUCH_SPACE")->addrSpaceId, 0u);
    EXPECT_EQ(reg("NO_SUCH_SPACE")->addrSpace, &sensor()->addrSpaces->spaces[0]);
    const ze_addr_space_t *far = space("FARC");
    EXPECT_EQ(far->type, ZE_SPACE_FAR1);
    EXPECT_EQ(far->farBase, 0x48u);
    EXPECT_EQ(far->farAddrSize, 16u);
    EXPECT_EQ(far->farDataSize, 8u);
    EXPECT_EQ(far->farDataLE, 1u);
    EXPECT_STREQ(space("VARS")->description, "Variables");
    EXPECT_THAT(errorMessages(), IsEmpty());
    // Lookup sees the registers and their external names.
    EXPECT_EQ(ze_FindRegister(camera, "ANALOG.GAIN"), gain);
}

TEST_F(XmlSensorFileTest, AnOddAddressInASpaceSteppingByTwoIsDroppedSilently)
{
    ASSERT_EQ(parseXml("<registers><reg name=\"EVEN\" addr=\"0x3012\"/>"
                       "<reg name=\"ODD\" addr=\"0x3013\"><bitfield name=\"B\" mask=\"1\"/></reg>"
                       "</registers>\n",
                       kWide),
              PARSE_SUCCESS);
    ASSERT_EQ(sensor()->regCount, 1);
    EXPECT_STREQ(sensor()->regs[0].name, "EVEN");
    // The bitfield of the dropped register does not land on the one before it.
    EXPECT_EQ(sensor()->regs[0].bitfieldCount, 0);
    EXPECT_THAT(errorMessages(), IsEmpty());
    // With 8-bit data every address exists.
    ASSERT_EQ(parseXml("<registers><reg name=\"ODD\" addr=\"0x13\"/></registers>\n", kNarrowData),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->regCount, 1);
}

TEST_F(XmlSensorFileTest, SpansAreRoundedToOneTwoOrFourAndCutToThirtyTwoBits)
{
    ASSERT_EQ(parseXml("<registers><reg name=\"S0\" addr=\"0\" span=\"0\"/>"
                       "<reg name=\"S2\" addr=\"1\" span=\"2\"/>"
                       "<reg name=\"S3\" addr=\"2\" span=\"3\"/>"
                       "<reg name=\"S9\" addr=\"3\" span=\"9\"/>"
                       "<reg name=\"MINUS1\" addr=\"4\" span=\"-1\"/>"
                       "<reg name=\"MINUSHEX\" addr=\"5\" span=\"-0x10\"/>"
                       "<reg name=\"HUGE\" addr=\"6\" span=\"0x7FFFFFFF\"/></registers>\n",
                       kNarrowData),
              PARSE_SUCCESS);
    EXPECT_EQ(reg("S0")->span, 1u);
    // Negative numbers are below 1, whatever their two's complement would say.
    EXPECT_EQ(reg("MINUS1")->span, 1u);
    EXPECT_EQ(reg("MINUSHEX")->span, 1u);
    EXPECT_EQ(reg("HUGE")->span, 4u);
    EXPECT_EQ(reg("S2")->span, 2u);
    EXPECT_EQ(reg("S3")->span, 4u);
    EXPECT_EQ(reg("S9")->span, 4u);
    ASSERT_EQ(parseXml("<registers><reg name=\"S4\" addr=\"0\" span=\"4\"/></registers>\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(reg("S4")->span, 2u); // two 16-bit units already make 32 bits
}

TEST_F(XmlSensorFileTest, BitfieldsTakeTheirAttributesDetailsAndShiftedRanges)
{
    ASSERT_EQ(parseXml("<registers><reg name=\"R\" addr=\"0\"><detail>register</detail>"
                       "<bitfield name=\"F\" mask=\"0xF0\" rw=\"WO\" display_name=\"Field\" "
                       "range=\"1 15\" confidential=\"Y\" datatype=\"unsigned\">"
                       "<detail>field</detail></bitfield>"
                       "<bitfield name=\"G\" mask=\"0x100\"/></reg></registers>\n"),
              PARSE_SUCCESS);
    const ze_reg_t *r = reg("R");
    ASSERT_EQ(r->bitfieldCount, 2);
    const ze_bitfield_t &f = r->bitfields[0];
    EXPECT_STREQ(r->detail, "register");
    EXPECT_STREQ(f.detail, "field");
    EXPECT_STREQ(f.name, "F");
    EXPECT_EQ(f.mask, 0xF0u);
    EXPECT_EQ(f.access, ZE_ACCESS_WO);
    EXPECT_STREQ(f.displayName, "Field");
    EXPECT_EQ(f.confidential, 1u);
    EXPECT_EQ(f.rangeMin, 1u);
    EXPECT_EQ(f.rangeMax, 15u);
    EXPECT_EQ(r->bitfields[1].access, ZE_ACCESS_RW);
    EXPECT_EQ(r->bitfields[1].dataType, 1u);
}

TEST_F(XmlSensorFileTest, ARangeWithoutTwoValuesClearsBoth)
{
    ASSERT_EQ(parseXml("<registers><reg name=\"R\" addr=\"0\" range=\"5\"/></registers>\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(reg("R")->rangeMin, 0u);
    EXPECT_EQ(reg("R")->rangeMax, 0u);
}

TEST_F(XmlSensorFileTest, DuplicatesAreReportedAndDroppedWithoutFailingTheFile)
{
    ASSERT_EQ(parseXml("<registers>\n<reg name=\"A\" addr=\"0\"/>\n"
                       "<reg name=\"a\" addr=\"2\"><bitfield name=\"X\" mask=\"1\"/></reg>\n"
                       "<reg name=\"B\" addr=\"4\"><bitfield name=\"F\" mask=\"1\"/>"
                       "<bitfield name=\"f\" mask=\"2\"/></reg>\n</registers>\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->regCount, 2);
    EXPECT_EQ(reg("A")->bitfieldCount, 0);
    EXPECT_EQ(reg("B")->bitfieldCount, 1);
    EXPECT_EQ(reg("B")->bitfields[0].mask, 1u);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage("a", 5), syntaxMessage("f", 6)));
    EXPECT_THAT(errorCodes(), ElementsAre(DUPLICATE_DESC_ERROR, DUPLICATE_DESC_ERROR));
}

TEST_F(XmlSensorFileTest, TheThirtyFourthBitfieldIsReportedAndNothingIsWrittenPastTheArray)
{
    std::string fields;
    for (int i = 0; i < ZE_MAX_BITFIELDS + 1; ++i)
        fields += "<bitfield name=\"F" + std::to_string(i) + "\" mask=\"1\"/>";
    ASSERT_EQ(parseXml("<registers><reg name=\"R\" addr=\"0\">" + fields + "</reg></registers>\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(reg("R")->bitfieldCount, ZE_MAX_BITFIELDS);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage("R: more than 33 bitfields", 3)));
}

TEST_F(XmlSensorFileTest, OverLongTextsAreCutToTheirFields)
{
    const std::string longText(1000, 'x');
    ASSERT_EQ(parse("<?xml version=\"1.0\"?>\n<sensor name=\"" + longText +
                    "\" ship_base_address=\"0x20\"><registers><reg name=\"" + longText +
                    "\" addr=\"0\" display_name=\"" + longText + "\" default=\"" +
                    std::string(500, '1') + "\"><detail>" + longText + "</detail><detail>" +
                    longText + "</detail></reg></registers></sensor>\n"),
              PARSE_SUCCESS);
    ASSERT_EQ(sensor()->regCount, 1);
    const ze_reg_t &r = sensor()->regs[0];
    EXPECT_EQ(strlen(r.name), 255u);
    EXPECT_EQ(std::string(r.name).substr(252), "...");
    EXPECT_EQ(strlen(r.displayName), 255u);
    EXPECT_EQ(std::string(r.detail), std::string(255, 'x'));
    EXPECT_EQ(strlen(sensor()->name), 255u);
}

TEST_F(XmlSensorFileTest, IdentificationElementsFillTheGroupsOfTheContext)
{
    ASSERT_EQ(parseXml("<version_reg_write reg=\"RESET\" mask=\"0xFF\" value=\"0x10 0x20\"/>\n"
                       "<version_reg_waitfor reg=\"STATUS\" mask=\"0x4\" value=\"0 4\" "
                       "timeout=\"100\"/>\n"
                       "<version_reg_waitfor reg=\"STATUS\" mask=\"0x4\" value=\"4\"/>\n"
                       "<version_reg_read reg=\"CHIP\" mask=\"0xFFFF\" value=\"1 2\"/>\n"
                       "<version_reg_resetif reg=\"CHIP\" mask=\"0xF\" value=\"3\"/>\n"
                       "<extra_match reg=\"REV\" mask=\"0xF\" value=\"5\"/>\n"
                       "<extra_match serial=\"0x50\" addr=\"0x10 : 16\" mask=\"0xFF : 8\" "
                       "value=\"7\"/>\n"
                       "<or_match/>\n"
                       "<part_number name=\"P-SERIAL\" serial=\"0x52\" addr=\"0x20\" "
                       "mask=\"0xF0\" value=\"1 2\"/>\n"
                       "<part_number name=\"P-REG\" reg=\"REV\" mask=\"0xF\" value=\"3\"/>\n"
                       "<product_variant name=\"mono\"/>\n"
                       "<sensor_version name=\"B2\" reg=\"REV\" mask=\"1\" value=\"1\"/>\n"
                       "<minor_version name=\"m\" number=\"7\" reg=\"REV\" mask=\"2\" "
                       "value=\"2\"/>\n"),
              PARSE_SUCCESS);
    EXPECT_THAT(errorMessages(), IsEmpty());
    ASSERT_EQ(ident().groupCount, 2);
    const IdentGroup &first = ident().groups[0];
    ASSERT_EQ(first.versionWriteCount, 3);
    EXPECT_STREQ(first.versionWrites[0].regName, "RESET");
    EXPECT_EQ(first.versionWrites[0].valueCount, 1);
    EXPECT_EQ(first.versionWrites[0].values[0], 0x10u);
    EXPECT_EQ(first.versionWrites[0].waitMs, -1);
    EXPECT_EQ(first.versionWrites[1].waitMs, 100);
    EXPECT_EQ(first.versionWrites[1].valueCount, 2);
    EXPECT_EQ(first.versionWrites[2].waitMs, -1); // a wait without timeout is a write
    EXPECT_EQ(first.versionReadCount, 1);
    EXPECT_EQ(first.versionReads[0].values[1], 2u);
    EXPECT_STREQ(first.resetIf.regName, "CHIP");
    EXPECT_STREQ(first.extraDesc.regName, "REV");
    ASSERT_EQ(first.extraSerialCount, 1);
    const IdentSerialTest &serial = first.extraSerial[0];
    EXPECT_EQ(serial.base, 0x50u);
    EXPECT_EQ(serial.regAddr, 0x10u);
    EXPECT_EQ(serial.addrSize, 16u);
    EXPECT_EQ(serial.mask, 0xFFu);
    EXPECT_EQ(serial.dataSize, 8u);
    const NamedIdentList &parts = ident().named[PartNumbers];
    ASSERT_EQ(parts.count, 2);
    EXPECT_EQ(parts.entries[0].serial.base, 0x52u);
    EXPECT_EQ(parts.entries[0].serial.addrSize, 8u);  // default
    EXPECT_EQ(parts.entries[0].serial.dataSize, 16u); // default
    EXPECT_EQ(parts.entries[0].serial.valueCount, 2);
    EXPECT_STREQ(parts.entries[1].regName, "REV");
    EXPECT_STREQ(sensor()->partNumber, "P-SERIAL"); // the first while it was empty
    EXPECT_STREQ(sensor()->productVariant, "mono");
    EXPECT_STREQ(ident().named[VersionNames].entries[0].name, "B2");
    EXPECT_EQ(ident().named[MinorVersions].entries[0].number, 7u);
}

TEST_F(XmlSensorFileTest, TheEleventhVersionRegWriteOfAGroupIsReportedAndIgnored)
{
    std::string writes;
    for (int i = 0; i < 11; ++i)
        writes += "<version_reg_write reg=\"R\" mask=\"1\" value=\"" + std::to_string(i) + "\"/>\n";
    ASSERT_EQ(parseXml(writes), PARSE_SUCCESS);
    const IdentGroup &group = ident().groups[0];
    EXPECT_EQ(group.versionWriteCount, 10);
    EXPECT_EQ(group.versionWrites[9].values[0], 9u);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage("version_reg_write", 13)));
    EXPECT_THAT(errorCodes(), ElementsAre(CHIP_DESC_ERROR));
}

TEST_F(XmlSensorFileTest, ValueListsAndGroupsStopAtTheirLimits)
{
    ASSERT_EQ(
        parseXml("<version_reg_resetif reg=\"R\" mask=\"1\" "
                 "value=\"1 2 3 4 5 6 7 8 9 10\"/>\n"
                 "<part_number name=\"P\" reg=\"R\" mask=\"1\" value=\"1 2 3 4 5 6 7 8 9 10\"/>\n"
                 "<or_match/><or_match/><or_match/>\n<or_match/>\n"
                 "<version_reg_read reg=\"R\" mask=\"1\" value=\"1\"/>\n"),
        PARSE_SUCCESS);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage("version_reg_restif", 3),
                                             syntaxMessage("part_number", 4)));
    EXPECT_EQ(ident().groups[0].resetIf.valueCount, 10);
    EXPECT_EQ(ident().groupCount, 4);
    // After the fourth group there is no current group.
    for (const IdentGroup &group : ident().groups)
        EXPECT_EQ(group.versionReadCount, 0);
}

TEST_F(XmlSensorFileTest, RevisionTextGivesTheRevisionNumberAndTags)
{
    ASSERT_EQ(parseXml("<revision>\n  $Revision: 42 $\n$Author: someone $\n\n"
                       "no key here\n</revision>\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->revisionNumber, 42u);
    EXPECT_STREQ(sensor()->revisionInfo, "Author:someone;item5:no key here");
}

TEST_F(XmlSensorFileTest, NotesInTheSensorFileGoToTheRegisterAndBitfield)
{
    ASSERT_EQ(parseXml("<registers><reg name=\"R\" addr=\"0\"><long_desc>whole</long_desc>"
                       "<bitfield name=\"F\" mask=\"1\"><long_desc>field</long_desc>"
                       "<conf_notes>secret</conf_notes></bitfield></reg></registers>\n"),
              PARSE_SUCCESS);
    ASSERT_EQ(sensor()->longDescCount, 2);
    EXPECT_STREQ(sensor()->longDescs[0].regName, "R");
    EXPECT_EQ(sensor()->longDescs[0].bitfieldName, nullptr);
    EXPECT_STREQ(sensor()->longDescs[0].text, "whole");
    EXPECT_STREQ(sensor()->longDescs[1].bitfieldName, "F");
    ASSERT_EQ(sensor()->confNoteCount, 1);
    EXPECT_STREQ(sensor()->confNotes[0].text, "secret");
}

TEST_F(XmlSensorFileTest, SelectAddressesAreRecordedWhateverTheAddressSize)
{
    ASSERT_EQ(parse("<?xml version=\"1.0\"?>\n<sensor name=\"ZX0008\" ship_base_address=\"0x20\" "
                    "reg_addr_size=\"16\" reg_data_size=\"8\"><addr_spaces>"
                    "<space name=\"CORE\" type=\"REG\" value=\"0\"/></addr_spaces><registers>"
                    "<reg name=\"ADDR_SPACE_SEL\" addr=\"0x0D\" space=\"CORE\"/></registers>"
                    "</sensor>\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->addrSpaces->readSelectAddr, 0x0Du);
    EXPECT_EQ(sensor()->addrSpaces->writeSelectAddr, 0x0Du);
}

bool gAttachedSensorMatches = false;
bool answerAttachedSensor(ze_camera_t *)
{
    return gAttachedSensorMatches;
}

TEST_F(XmlSensorFileTest, AMismatchingChipVersionStopsTheRead)
{
    setEarlyIdentityCheck(answerAttachedSensor);
    ident().probing = 1;
    gAttachedSensorMatches = false;
    EXPECT_EQ(parseXml("<registers><reg name=\"CHIP_VERSION_REG\" addr=\"0\"/>"
                       "<reg name=\"AFTER\" addr=\"2\"/></registers>\n"),
              SENSOR_DOES_NOT_MATCH);
    EXPECT_TRUE(log.contains("Early reject: CHIP_VERSION_REG does not match"));
    EXPECT_EQ(reg("AFTER"), nullptr);
    gAttachedSensorMatches = true;
    ident().probing = 1;
    EXPECT_EQ(parseXml("<registers><reg name=\"CHIP_VERSION_REG\" addr=\"0\"/>"
                       "<reg name=\"AFTER\" addr=\"2\"/></registers>\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(ident().probing, 0u);
    setEarlyIdentityCheck(nullptr);
}

TEST_F(XmlSensorFileTest, AFarSensorIsMergedAndIgnoredInsideAFarFile)
{
    write("far.sdat", "[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0300\"\nSHIP_BASE_ADDRESS = 0x48\n"
                      "[END]\n[REGISTERS]\nX = {0x10, NONE, 0xFFFF, RW, 0, \"\" \"\"}\n[END]\n");
    write("nested.xsdat", xmlFile("<registers><reg name=\"Y\" addr=\"0\"/></registers>\n"
                                  "<far_sensor name=\"N\" connection=\"FAR2\" base=\"0x50\" "
                                  "sdat=\"far.sdat\"/>\n"));
    ASSERT_EQ(parseXml("<addr_spaces><space name=\"CORE\" value=\"0\"/></addr_spaces>\n"
                       "<registers><reg name=\"A\" addr=\"0\"/></registers>\n"
                       "<far_sensor name=\"FAR\" connection=\"far1\" base=\"0x48\" "
                       "sdat=\"far.sdat\"/>\n"
                       "<far_sensor name=\"NEST\" connection=\"FAR2\" base=\"0x4A\" "
                       "sdat=\"nested.xsdat\"/>\n"
                       "<registers><reg name=\"B\" addr=\"2\"/></registers>\n",
                       kNarrowData),
              PARSE_SUCCESS);
    EXPECT_NE(reg("FAR.X"), nullptr);
    EXPECT_NE(reg("NEST.Y"), nullptr);
    EXPECT_EQ(reg("NEST.N.X"), nullptr);
    EXPECT_NE(reg("B"), nullptr);
    ASSERT_NE(sensor()->farSensor1, nullptr);
    EXPECT_EQ(sensor()->farSensor1->shipBaseAddr, 0x48u);
    log.clear();
    EXPECT_EQ(parseXml("<far_sensor name=\"F\" connection=\"FAR3\" base=\"1\" sdat=\"x\"/>\n"),
              PARSE_REG_ERROR);
    EXPECT_EQ(parseXml("<far_sensor name=\"F\" connection=\"FAR1\" base=\"1\" "
                       "sdat=\"missing.sdat\"/>\n"),
              PARSE_FILE_ERROR);
}

TEST_F(XmlSensorFileTest, AByteOrderMarkAndXmlDeclarationAreReadAsXmlWhateverTheExtension)
{
    EXPECT_EQ(
        parse("\xEF\xBB\xBF" + xmlFile("<registers><reg name=\"R\" addr=\"0\"/></registers>\n"),
              "sensor.sdat"),
        PARSE_SUCCESS);
    EXPECT_NE(reg("R"), nullptr);
    EXPECT_STREQ(sensor()->versionName, "REV1"); // the text reader's finishing steps ran
}

TEST_F(XmlSensorFileTest, MalformedXmlIsAParseErrorWithTheParsersPosition)
{
    EXPECT_EQ(parseXml("<registers>\n  <reg name=\"A\" addr=\"0\">\n</registers>\n"),
              SENSOR_FILE_PARSE_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage("XML parsing error: \"mismatched tag\" Code: 7 Line: 5 "
                                          "Col: 3",
                                          5),
                            failedFileMessage()));
}

TEST_F(XmlSensorFileTest, InvalidUtf8IsAParseErrorAndDeclaredEncodingsAreConverted)
{
    EXPECT_EQ(parseXml("<registers><reg name=\"A\xff\" addr=\"0\"/></registers>\n"),
              SENSOR_FILE_PARSE_ERROR);
    EXPECT_THAT(
        errorMessages().front(),
        HasSubstr("XML parsing error: \"not well-formed (invalid token)\" Code: 4 Line: 3"));
    log.clear();
    EXPECT_EQ(parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<sensor name=\"ZX0201\" "
                    "ship_base_address=\"0x20\"><registers><reg name=\"R\" addr=\"0\">"
                    "<detail>caf\xe9</detail></reg></registers></sensor>\n"),
              PARSE_SUCCESS);
    EXPECT_STREQ(reg("R")->detail, "caf\xc3\xa9");
}

TEST_F(XmlSensorFileTest, EntityExpansionAttacksAreStoppedByTheParser)
{
    std::string entities = "<!ENTITY a0 \"lollollollollollollollollollol\">\n";
    for (int i = 1; i < 10; ++i) {
        std::string previous = "&a" + std::to_string(i - 1) + ";";
        std::string tenfold;
        for (int j = 0; j < 10; ++j)
            tenfold += previous;
        entities += "<!ENTITY a" + std::to_string(i) + " \"" + tenfold + "\">\n";
    }
    EXPECT_EQ(
        parse("<?xml version=\"1.0\"?>\n<!DOCTYPE sensor [\n" + entities +
              "]>\n<sensor name=\"ZX0201\" ship_base_address=\"0x20\"><registers>"
              "<reg name=\"R\" addr=\"0\"><detail>&a9;</detail></reg></registers></sensor>\n"),
        SENSOR_FILE_PARSE_ERROR);
    const std::string message = errorMessages().front();
    char text[128] = {};
    int code = 0, line = 0, column = 0;
    ASSERT_EQ(sscanf(message.c_str(),
                     "XML parsing error: \"%127[^\"]\" Code: %d Line: %d Col: %d in", text, &code,
                     &line, &column),
              4)
        << message;
    EXPECT_EQ(code, 43); // the parser's amplification limit
    EXPECT_GT(column, 0);
    EXPECT_EQ(message.substr(message.rfind(':') + 1), std::to_string(line));
}

TEST_F(XmlSensorFileTest, ExternalEntitiesAreNeverLoaded)
{
    write("secret.txt", "SECRET");
    EXPECT_EQ(parse("<?xml version=\"1.0\"?>\n<!DOCTYPE sensor [\n<!ENTITY s SYSTEM \"" +
                    dir.file("secret.txt") +
                    "\">\n]>\n<sensor name=\"ZX0201\" ship_base_address=\"0x20\"><registers>"
                    "<reg name=\"R\" addr=\"0\"><detail>[&s;]</detail></reg></registers>"
                    "</sensor>\n"),
              PARSE_SUCCESS);
    EXPECT_STREQ(reg("R")->detail, "[]");
}

TEST_F(XmlSensorFileTest, UnknownElementsAreReportedAndIgnored)
{
    EXPECT_EQ(parseXml("<registers><future><reg name=\"R\" addr=\"0\"/></future>"
                       "<future_reg name=\"X\" addr=\"2\"/></registers>\n"),
              PARSE_SUCCESS);
    EXPECT_NE(reg("R"), nullptr);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage("unknown element <future>", 3),
                                             syntaxMessage("unknown element <future_reg>", 3)));
}

TEST_F(XmlSensorFileTest, AFileWithoutSensorElementIsNotASensorFile)
{
    EXPECT_EQ(parse("<?xml version=\"1.0\"?>\n<registers/>\n"), CHIP_DESC_ERROR);
    EXPECT_THAT(errorMessages(), ElementsAre(lastPath + " has no sensor element"));
}

TEST_F(XmlSensorFileTest, AMissingFileCannotBeOpened)
{
    lastPath = dir.file("missing.xsdat");
    EXPECT_EQ(ze_ParseSensorFile(camera, lastPath.c_str(), nullptr), PARSE_FILE_ERROR);
    EXPECT_THAT(errorMessages(), ElementsAre("unable to open file " + lastPath));
}

} // namespace
} // namespace zentro::test
