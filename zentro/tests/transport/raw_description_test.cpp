// The recording description reader: keys, formats, rates, register lines and hostile input.
#include <gtest/gtest.h>

#include "transport/raw_description.h"

namespace {

using zentro::parseRawDescription;
using zentro::RawDescription;

RawDescription parsed(const std::string &text)
{
    RawDescription d;
    std::string error;
    EXPECT_TRUE(parseRawDescription(text, d, error)) << error;
    return d;
}

std::string refusal(const std::string &text)
{
    RawDescription d;
    std::string error;
    EXPECT_FALSE(parseRawDescription(text, d, error)) << text;
    return error;
}

TEST(RawDescription, ReadsTheCaptureToolsCommentLines)
{
    const RawDescription d = parsed("//\tWidth          = 1920\n"
                                    "//\tHeight         = 1200\n"
                                    "//\tImage Format   = Bayer 12\n"
                                    "//\tFrames         = 5\n"
                                    "//\tFrame rate     = 30 frames per second\n\n"
                                    "[Raw Image Format]\n"
                                    "IMAGE= 1920, 1200, BAYER-12\n");
    EXPECT_EQ(d.width, 1920u);
    EXPECT_EQ(d.height, 1200u);
    EXPECT_EQ(d.imageType, 12u);
    EXPECT_EQ(d.frames, 5);
    EXPECT_EQ(d.frameMs, 33u);
    EXPECT_EQ(d.frameUs, 33333u);
}

TEST(RawDescription, FirstSizeWinsButFormatOutputAndRateTakeTheLast)
{
    const RawDescription d = parsed("Width = 100 Width = 200 Height = 50\n"
                                    "Format = Bayer 10 Format = YUV 4:2:0\n"
                                    "output = 12 output = 16 rate = 10 rate = 2000\n"
                                    "Frames = 3 packed V210 StatusStruct = 8 Cycling = 9\n"
                                    "Range = = 7 Top a b c 4\n");
    EXPECT_EQ(d.width, 100u);
    EXPECT_EQ(d.height, 50u);
    EXPECT_EQ(d.imageType, 19u);
    EXPECT_EQ(d.outputBits, 16u);
    EXPECT_EQ(d.frameMs, 0u); // 2000 per second: the playback turns this into 200 ms
    EXPECT_EQ(d.packed, 1u);
    EXPECT_EQ(d.v210, 1u);
    EXPECT_EQ(d.statusBytes, 8u);
    EXPECT_EQ(d.contexts, 4u);
    EXPECT_EQ(d.rangeSize, 7u);
    EXPECT_EQ(d.top, 4u);
}

TEST(RawDescription, FormatNamesMapOntoTheCommonCodes)
{
    EXPECT_EQ(parsed("Format = Bayer 8 Frames = 1").imageType, 1u);
    EXPECT_EQ(parsed("Format = bayer 14 Frames = 1").imageType, 20u);
    EXPECT_EQ(parsed("Format = Unheard Frames = 1").imageType, 1u);
    const RawDescription stereo = parsed("Format = Bayer 10+20 Frames = 1");
    EXPECT_EQ(stereo.imageType, 2u);
    EXPECT_EQ(stereo.stereoMode, 2u);
}

TEST(RawDescription, HeaderEndsAtASectionAndRegisterLinesFollow)
{
    const RawDescription d = parsed("Frames = 2\n[Section]\nWidth = 99\n"
                                    " reg = 0, 0x31BE, 0x10\nREG=1,0x3F72,5\nREG= bad\n");
    EXPECT_EQ(d.width, 0u);
    ASSERT_EQ(d.registerLines.size(), 2u);
    EXPECT_EQ(d.registerLines[0].address, 0x31BEu);
    EXPECT_EQ(d.registerLines[0].value, 0x10u);
    EXPECT_EQ(d.registerLines[1].space, 1u);
    EXPECT_EQ(d.registerLines[1].value, 5u);
}

TEST(RawDescription, HostileValuesAreRefusedWithAReason)
{
    EXPECT_NE(refusal("Frames = 0").find("frame count"), std::string::npos);
    EXPECT_NE(refusal("Frames = -4").find("frame count"), std::string::npos);
    EXPECT_NE(refusal("Width = -1 Frames = 1").find("Width"), std::string::npos);
    EXPECT_NE(refusal("Width = 99999999999 Frames = 1").find("Width"), std::string::npos);
    EXPECT_NE(refusal("StatusStruct = 4000000000 Frames = 1").find("StatusStruct"),
              std::string::npos);
    EXPECT_NE(refusal("rate = 0 Frames = 1").find("rate"), std::string::npos);
    EXPECT_NE(refusal("rate = nan Frames = 1").find("rate"), std::string::npos);
    EXPECT_NE(refusal("Frames = 1 " + std::string(300, 'x')).find("longer"), std::string::npos);
}

zentro::RawRecordedSensor recordedSensor(const std::string &text)
{
    zentro::RawRecordedSensor recorded;
    std::string error;
    EXPECT_TRUE(zentro::parseRawRecordedSensor(text, recorded, error)) << error;
    return recorded;
}

TEST(RawRecordedSensor, FileNamesRunToTheEndOfTheirLineInTheHeaderOnly)
{
    const zentro::RawRecordedSensor r =
        recordedSensor("//\tFilename = C:\\sensors\\zx 0201.sdat  \r\n"
                       "//\tAttached Filename = far/zxp310.sdat\n"
                       "Filename\nnext.sdat\n"
                       "Filename =\n"
                       "[Section]\nFilename = late.sdat\n");
    ASSERT_EQ(r.files.size(), 2u);
    EXPECT_EQ(r.files[0].name, "C:\\sensors\\zx 0201.sdat");
    EXPECT_FALSE(r.files[0].attached);
    EXPECT_EQ(r.files[1].name, "far/zxp310.sdat");
    EXPECT_TRUE(r.files[1].attached);
    // FuseID: ends the part that may name files, "Windows" does not.
    EXPECT_EQ(recordedSensor("Windows 10\nFilename = a.sdat\n").files.size(), 1u);
    EXPECT_TRUE(recordedSensor("FuseID: 12\nFilename = a.sdat\n").files.empty());
}

TEST(RawRecordedSensor, ValuesAreTheLastNumberBeforeTheNamedComment)
{
    const zentro::RawRecordedSensor r =
        recordedSensor("Frames = 1\n[Registers]\n"
                       "REG= 0x3012, 0x0100 // COARSE_INTEGRATION_TIME\n"
                       "reg=0x3000,0X1a2B //GAIN\n"
                       "VAR8= 0x18, 0x02, 7 // AE_MODE\n"
                       "VAR32= 0x10, 0xFFFFFFFF, // WIDE\n"
                       "REG= 0, 0x31BE, 0x10\n"
                       "// NOT_A_VALUE\n");
    ASSERT_EQ(r.values.size(), 4u);
    EXPECT_EQ(r.values[0].name, "COARSE_INTEGRATION_TIME");
    EXPECT_EQ(r.values[0].value, 0x0100u);
    EXPECT_EQ(r.values[0].line, 3u);
    EXPECT_EQ(r.values[1].name, "GAIN");
    EXPECT_EQ(r.values[1].value, 0x1A2Bu);
    EXPECT_EQ(r.values[2].value, 7u);
    EXPECT_EQ(r.values[3].value, 0xFFFFFFFFu);
    EXPECT_TRUE(r.problems.empty());
}

TEST(RawRecordedSensor, MalformedValuesAreReportedAndNeverCarriedToAnotherLine)
{
    const zentro::RawRecordedSensor r = recordedSensor("REG= 0x3000, 0xZZ // GAIN\n"
                                                       "REG= 0x3002, 0x100000000 // MODE\n"
                                                       "REG= // EMPTY\n"
                                                       "REG= 0x3004, 0x0005\n"
                                                       "// STOLEN\n");
    EXPECT_TRUE(r.values.empty());
    EXPECT_EQ(r.problems, (std::vector<std::string>{
                              "Line 1: `0xZZ` is not a value for `GAIN`",
                              "Line 2: `0x100000000` is not a value for `MODE`",
                              "Line 3: no value for `EMPTY`",
                          }));
    zentro::RawRecordedSensor out;
    std::string error;
    EXPECT_FALSE(zentro::parseRawRecordedSensor("REG= " + std::string(300, '1'), out, error));
    EXPECT_NE(error.find("longer"), std::string::npos);
}

TEST(RawDescription, DescriptionPathReplacesTheExtension)
{
    EXPECT_EQ(zentro::rawDescriptionPath("/a.b/rec.raw"), "/a.b/rec_info.txt");
    EXPECT_EQ(zentro::rawDescriptionPath("/a.b/rec"), "");
}

} // namespace
