// Colour names: the names a person would give plain colours, the title's form, and the
// tables the namer accepts.
#include <gtest/gtest.h>

#include "render/ColourNamer.h"

namespace talvex {
namespace {

TEST(ColourNamer, PlainColoursGetTheNamesAPersonWouldSayAloud) {
    const ColourNamer& namer = ColourNamer::standard();
    ASSERT_GT(namer.size(), 400u) << "the shipped table did not load";
    const struct {
        Rgb colour;
        const char* name;
    } cases[] = {
        {{255, 0, 0}, "bright red"},  {{0, 255, 0}, "bright green"},
        {{0, 0, 255}, "strong blue"}, {{255, 255, 255}, "white"},
        {{0, 0, 0}, "black"},         {{128, 128, 128}, "medium grey"},
        {{255, 128, 0}, "orange"},    {{150, 75, 0}, "warm brown"},
        {{0, 150, 136}, "teal"},      {{255, 105, 180}, "pink"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(namer.nameOf(c.colour), c.name) << hexString(c.colour);
}

TEST(ColourNamer, TheTitleGivesNameAndValueAndOnlyWellFormedTablesAreRead) {
    const ColourNamer namer({{"dark red", {0x84, 0, 0}}, {"teal", {0x02, 0x93, 0x86}}});
    EXPECT_EQ(namer.describe({0xA5, 0x1C, 0x24}), "dark red \u00b7 #A51C24");
    EXPECT_EQ(ColourNamer({}).describe({0x0A, 0xB0, 0xFF}), "#0AB0FF");

    const auto table = ColourNamer::parseTable("# comment\n\nsea blue\t#047495\r\nred\t#E50000\n");
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), 2u);
    EXPECT_EQ((*table)[0].name, "sea blue");
    EXPECT_EQ((*table)[1].colour, (Rgb{0xe5, 0, 0}));
    for (const char* bad : {"red #e50000", "red\t#e5000", "red\t#e5000g", "\t#e50000"}) {
        std::string error;
        EXPECT_FALSE(ColourNamer::parseTable(std::string("ok\t#000000\n") + bad, &error)) << bad;
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    }

    // The standard namer keeps the names people say aloud.
    for (const char* everyday : {"dark red", "light greenish blue", "blue/grey", "reddish"})
        EXPECT_TRUE(ColourNamer::isEveryday(everyday)) << everyday;
    for (const char* other : {"fire engine red", "baby poop green", "blue blue", "dark", ""})
        EXPECT_FALSE(ColourNamer::isEveryday(other)) << other;
}

}  // namespace
}  // namespace talvex
