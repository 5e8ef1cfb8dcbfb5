// Tests of the case-insensitive comparisons and the bounded copies.
#include <gtest/gtest.h>

#include "zentro_osal.h"

namespace {

TEST(Strings, ComparisonsFoldToLowerCaseAndStopAfterN)
{
    EXPECT_EQ(osal_stricmp("DLL_Name", "dll_nAME"), 0);
    EXPECT_LT(osal_stricmp("abc", "ABD"), 0);
    EXPECT_GT(osal_stricmp("abcd", "ABC"), 0);
    // Folded to lower case "a" (0x61) sorts after "_" (0x5f); upper case "A" would not.
    EXPECT_GT(osal_stricmp("A", "_"), 0);
    EXPECT_EQ(osal_strnicmp("DLL_NAME", "dll_other", 4), 0);
    EXPECT_NE(osal_strnicmp("DLL_NAME", "dll_other", 5), 0);
    EXPECT_EQ(osal_stricmp(nullptr, nullptr), 0);
    EXPECT_LT(osal_stricmp(nullptr, ""), 0);
}

TEST(Strings, ConcatenationAppendsAtMostNWhenTheyFitElseEmpties)
{
    char text[8] = "ab";
    EXPECT_EQ(osal_strncat_s(text, sizeof(text), "cdefgh", 3), 0);
    EXPECT_STREQ(text, "abcde");
    EXPECT_EQ(osal_strncat_s(text, sizeof(text), "fg", 10), 0);
    EXPECT_STREQ(text, "abcdefg");
    EXPECT_EQ(osal_strncat_s(text, sizeof(text), "h", 1), 1);
    EXPECT_STREQ(text, "");
    char unterminated[2] = {'a', 'b'};
    EXPECT_EQ(osal_strncat_s(unterminated, sizeof(unterminated), "", 0), 1);
    EXPECT_EQ(unterminated[0], '\0');
    EXPECT_EQ(osal_strncat_s(nullptr, 4, "a", 1), 1);
}

TEST(Strings, CopyCutsAtSizeMinusOneAndAlwaysTerminates)
{
    char text[5] = "xxxx";
    EXPECT_EQ(osal_strcpy_s(text, sizeof(text), "abcdefg"), 0);
    EXPECT_STREQ(text, "abcd");
    EXPECT_EQ(osal_strcpy_s(text, 1, "ab"), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(osal_strcpy_s(text, sizeof(text), nullptr), 0);
    EXPECT_STREQ(text, "");
}

} // namespace
