#include "CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, PlaceholderUntilTheFrontLands)
{
    EXPECT_THROW(ParseCountRange("5:2"), UsageError);
}
