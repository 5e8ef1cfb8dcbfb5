// Tests of numbered result files: the names, the search for a free number and image saving.
#include <string>

#include <gtest/gtest.h>

#include "osal/numbered_file.h"
#include "support/test_support.h"
#include "zentro_osal.h"

namespace {

using zentro::numberedCandidate;
using zentro::numberedFileName;
using zentro::test::readFile;
using zentro::test::TempDir;
using zentro::test::writeFile;

constexpr size_t kBufferSize = 256;

// Existence as if the files numbered 0 to @count - 1 of "shot.raw" were present.
auto firstNumbersExist(int count)
{
    return [count](const std::string &candidate) {
        int number = std::stoi(candidate.substr(4, 4));
        EXPECT_EQ(candidate, numberedCandidate("shot.raw", number));
        return number < count;
    };
}

TEST(NumberedFile, CandidateHasFourDigitsBeforeTheExtensionOfTheLastComponent)
{
    EXPECT_EQ(numberedCandidate("shot.raw", 0), "shot0000.raw");
    EXPECT_EQ(numberedCandidate("dir/shot.v2.raw", 42), "dir/shot.v20042.raw");
    EXPECT_EQ(numberedCandidate("run.d/shot", 7), "run.d/shot0007");
    EXPECT_EQ(numberedCandidate("run.d\\shot", 7), "run.d\\shot0007");
    EXPECT_EQ(numberedCandidate("shot.raw", 12345), "shot9999.raw");
    EXPECT_EQ(numberedCandidate("shot.raw", -3), "shot0000.raw");
}

TEST(NumberedFile, SearchFindsTheNextNumberAfterFilesWithoutGaps)
{
    for (int count = 0; count <= zentro::kMaxFileNumber; ++count) {
        ASSERT_EQ(numberedFileName("shot.raw", kBufferSize, firstNumbersExist(count)),
                  numberedCandidate("shot.raw", count))
            << "with " << count << " files present";
    }
}

TEST(NumberedFile, SearchEndsWithTheHighestNumberWhenEveryNumberIsTaken)
{
    EXPECT_EQ(
        numberedFileName("shot.raw", kBufferSize, firstNumbersExist(zentro::kMaxFileNumber + 1)),
        "shot9999.raw");
}

TEST(NumberedFile, SearchUsesAFreeLowerNumberWhenTheHighestIsTaken)
{
    auto upperHalfExists = [](const std::string &candidate) {
        return std::stoi(candidate.substr(4, 4)) >= 5000;
    };
    EXPECT_EQ(numberedFileName("shot.raw", kBufferSize, upperHalfExists), "shot0000.raw");
}

TEST(NumberedFile, NameTooLongForNumberingIsUsedAsItIs)
{
    auto nothingExists = [](const std::string &) { return false; };
    std::string longest(kBufferSize - 5 - 4, 'n');
    EXPECT_EQ(numberedFileName(longest + ".raw", kBufferSize, nothingExists), longest + "0000.raw");
    EXPECT_EQ(numberedFileName(longest + "x.raw", kBufferSize, nothingExists), longest + "x.raw");
    EXPECT_EQ(numberedFileName("a.raw", 4, nothingExists), "a.raw");
}

TEST(NumberedFile, SaveImageWritesBinaryDataToTheNextFreeNumber)
{
    TempDir dir;
    std::string name = dir.file("frame.raw");
    const std::string first("\x00\r\n\x1a\xff", 5);
    EXPECT_EQ(osal_saveImage(name.c_str(), first.data(), first.size()), 0);
    EXPECT_EQ(osal_saveImage(name.c_str(), "second", 6), 0);
    EXPECT_EQ(readFile(dir.file("frame0000.raw")), first);
    EXPECT_EQ(readFile(dir.file("frame0001.raw")), "second");

    for (const char *present : {"shot0000.bin", "shot0001.bin", "shot0002.bin"})
        writeFile(dir.file(present), "old");
    EXPECT_EQ(osal_saveImage(dir.file("shot.bin").c_str(), "new", 3), 0);
    EXPECT_EQ(readFile(dir.file("shot0003.bin")), "new");
    EXPECT_EQ(readFile(dir.file("shot0000.bin")), "old");
}

TEST(NumberedFile, SaveImageReportsWhatItCannotWrite)
{
    TempDir dir;
    testing::internal::CaptureStderr();
    EXPECT_EQ(osal_saveImage(dir.file("missing/x.raw").c_str(), "x", 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to write image file " +
                                                          dir.file("missing/x0000.raw") +
                                                          ": No such file or directory\n");
    EXPECT_EQ(osal_saveImage(nullptr, "x", 1), 0);
}

} // namespace
