#include "formats/NonNativeFilers.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(TPlainTextExporter, WritesTopicsNotesAndFreeTextsAsAnIndentedOutline) {
    TMindMap map;
    map.LoadFromText(NativeDocument(R"(<topic id="0" text="Root\Nsecond line"><note textfmt="rtf1">)"
                                    R"(\*Bold\* note   &#xD;&#xA;  next line</note></topic>)"
                                    R"(<topic id="1" parent="0" text="  "><children>)"
                                    R"(<text><note>first</note></text><image name="skipped"/>)"
                                    R"(<text><note>   </note></text><text><note>two&#xD;lines</note></text>)"
                                    R"(</children></topic>)"
                                    R"(<topic id="2" parent="1" text="leaf" collapsed="True" hidden="True"/>)"
                                    R"(<topic id="3" text="second theme"/>)"),
                     "", true, 0);
    TPlainTextExporter exporter(map);
    EXPECT_EQ(exporter.Write(false), "Root second line\r\n"
                                     "[\r\n"
                                     "Bold note\r\n"
                                     "  next line\r\n"
                                     "]\r\n"
                                     "\tunnamed topic\r\n"
                                     "\t[\r\n"
                                     "\tfirst\r\n"
                                     "\t\r\n"
                                     "\ttwo\r\n"
                                     "\tlines\r\n"
                                     "\t]\r\n"
                                     "\t\tleaf\r\n"
                                     "second theme\r\n");
}

TEST(TPlainTextExporter, SelectedBranchesStartAtTheShallowestSelectedLevel) {
    TMindMap map;
    map.LoadFromText(NativeDocument(R"(<topic id="0" text="root"/><topic id="1" parent="0" text="a"/>)"
                                    R"(<topic id="2" parent="1" text="a1"/><topic id="3" parent="0" text="b"/>)"),
                     "", true, 0);
    map.Select(map.TopicAt(3));
    map.ToggleSelection(map.TopicAt(2), false);
    TPlainTextExporter exporter(map);
    EXPECT_EQ(exporter.Write(true), "b\r\n\ta1\r\n");
    map.Select(nullptr);
    EXPECT_EQ(exporter.Write(true), "");
}

TEST(TPlainTextExporter, LinesSplitAtEveryKindOfBreak) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd\n"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("\n\n"), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(JoinLines({"a", ""}), "a\r\n\r\n");
}
