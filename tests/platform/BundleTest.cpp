#include "platform/Bundle.h"

#include <gtest/gtest.h>

TEST(Bundle, NamesTheProgram)
{
    EXPECT_EQ(platform::bundle::applicationName(), QStringLiteral("MarvestoLG"));
    EXPECT_EQ(platform::bundle::mainBundleIdentifier(), QStringLiteral("com.marvesto.MarvestoLG"));
}
