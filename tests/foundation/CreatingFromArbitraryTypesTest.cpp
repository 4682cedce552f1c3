#include "foundation/CreatingFromArbitraryTypes.h"
#include "foundation/ModifierKeys.h"

#include <gtest/gtest.h>

TEST(CreatingFromArbitraryTypes, NumbersKeepTheirType)
{
    const double d = 2.5;
    const QVariant number = numberWithValue(&d, "d");
    EXPECT_EQ(number.typeId(), QMetaType::Double);
    EXPECT_EQ(number.toDouble(), 2.5);

    const signed char c = -3;
    EXPECT_EQ(numberWithValue(&c, "c").toInt(), -3);
    const unsigned short s = 65535;
    EXPECT_EQ(numberWithValue(&s, "S").toInt(), 65535);
    const qulonglong q = ~0ull;
    EXPECT_EQ(numberWithValue(&q, "Q").toULongLong(), ~0ull);
    const float f = 0.25f;
    EXPECT_EQ(numberWithValue(&f, "f").typeId(), QMetaType::Float);

    const QVariant object = QStringLiteral("text");
    EXPECT_EQ(numberWithValue(&object, "@").toString(), QStringLiteral("text"));
}

TEST(CreatingFromArbitraryTypes, PointersAndOtherTypes)
{
    const void* null = nullptr;
    EXPECT_FALSE(numberWithValue(&null, "^v").isValid());
    int target = 7;
    const void* pointer = &target;
    EXPECT_EQ(numberWithValue(&pointer, "^i").value<void*>(), &target);

    struct { int a, b; } pair { 1, 2 };
    EXPECT_EQ(numberWithValue(&pair, "{pair=ii}").value<void*>(), static_cast<void*>(&pair));
    EXPECT_EQ(numberWithValue(&pair, "B").value<void*>(), static_cast<void*>(&pair));   // unknown: the address
    EXPECT_FALSE(numberWithValue(nullptr, "i").isValid());
}

TEST(ModifierKeys, QtModifiersMapToTheFlagMasks)
{
    EXPECT_EQ(modifierFlagsFromQt(Qt::NoModifier), 0u);
    EXPECT_EQ(modifierFlagsFromQt(Qt::ControlModifier), 0x40000u);
    EXPECT_EQ(modifierFlagsFromQt(Qt::AltModifier), 0x80000u);
    EXPECT_EQ(modifierFlagsFromQt(Qt::MetaModifier), 0x100000u);
    EXPECT_EQ(modifierFlagsFromQt(Qt::ShiftModifier | Qt::ControlModifier), 0x60000u);
    EXPECT_FALSE(isShiftKeyDown()) << "no key is held in the offscreen test";
}
