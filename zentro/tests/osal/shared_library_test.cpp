// Tests of loading shared libraries and finding their symbols.
#include <cstddef>

#include <gtest/gtest.h>

#include "zentro_osal.h"

namespace {

TEST(Library, MissingLibraryOrNullArgumentsGiveNothing)
{
    int disallowed = 7;
    EXPECT_EQ(osal_LoadLibrary("/nonexistent/libnothing.so", &disallowed), nullptr);
    EXPECT_EQ(disallowed, 0);
    // dlopen(NULL) and dlsym(NULL, ...) would reach the main program instead.
    EXPECT_EQ(osal_LoadLibrary(nullptr, nullptr), nullptr);
    EXPECT_EQ(osal_GetProcAddress(nullptr, "strlen"), nullptr);
}

} // namespace
