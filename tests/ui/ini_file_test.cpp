#include "ui/ini_file.h"
#include "xbase/error.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QByteArray stored() const {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    QTemporaryDir dir;
    QString path = dir.filePath("kvellary.INI");
};

TEST_F(IniFileTest, MissingFileReadsAsEmpty) {
    const ui::IniFile ini(dir.filePath("none.INI"));
    EXPECT_FALSE(ini.value("Paths", "PathBase"));
    EXPECT_EQ(ini.value("Paths", "PathBase", "dflt"), "dflt");
}

TEST_F(IniFileTest, ReadsValuesLikeTheWindowsReader) {
    struct Case {
        const char* file;
        const char* section;
        const char* key;
        const char* expected; // nullptr: absent
    } cases[] = {
        {"[Paths]\r\nPathBase=C:\\BASE\r\n", "Paths", "PathBase", "C:\\BASE"},
        {"[paths]\r\npathbase = D:\\X  \r\n", "PATHS", "PATHBASE", "D:\\X"},
        {" [ Paths ] \nPathBase=a\n", "Paths", "PathBase", "a"},
        {"[Paths]\nPathBase=\"  quoted \"\n", "Paths", "PathBase", "  quoted "},
        {"[Paths]\nPathBase='x'\n", "Paths", "PathBase", "x"},
        {"[Paths]\nPathBase=\"x'\n", "Paths", "PathBase", "\"x'"},
        {"[Paths]\nPathBase=first\nPathBase=second\n", "Paths", "PathBase", "first"},
        {"[Paths]\n;PathBase=commented\n", "Paths", "PathBase", nullptr},
        {"[Other]\nPathBase=elsewhere\n[Paths]\nKey=v", "Paths", "PathBase", nullptr},
        {"[Paths]\nPathBase=a=b", "Paths", "PathBase", "a=b"},
        {"[Paths]\nPathBase=", "Paths", "PathBase", ""},
        {"PathBase=outside\n", "Paths", "PathBase", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        write(c.file);
        const ui::IniFile ini(path);
        const auto v = ini.value(c.section, c.key);
        if (c.expected) {
            ASSERT_TRUE(v);
            EXPECT_EQ(*v, QByteArray(c.expected));
        } else {
            EXPECT_FALSE(v);
        }
    }
}

TEST_F(IniFileTest, SettingValuesKeepsEveryOtherByte) {
    // AppName in code page 866, a comment, an unknown key, CRLF line ends.
    const QByteArray oem = "\x8a\xa2\xa5\xab\xab\xa0\xe0\xa8\xa9";
    const QByteArray before = "; settings of the program\r\n[Application]\r\nAppName=" + oem +
                              "\r\nUnknown = keep me \r\n\r\n[TMainFormKvell1]\r\nLeft=1\r\n";
    write(before);
    ui::IniFile ini(path);
    ini.setValue("TMainFormKvell1", "Left", "120");
    ini.setValue("tmainformkvell1", "Top", "80");
    ini.setValue("Application", "Extra", "1");
    ini.setValue("TForm2", "Width", "300");
    ini.save();
    EXPECT_EQ(stored(), "; settings of the program\r\n[Application]\r\nAppName=" + oem +
                            "\r\nUnknown = keep me \r\nExtra=1\r\n\r\n[TMainFormKvell1]\r\n"
                            "Left=120\r\nTop=80\r\n[TForm2]\r\nWidth=300\r\n");
    EXPECT_EQ(ui::IniFile(path).value("Application", "AppName"), oem);
}

TEST_F(IniFileTest, AddsToALastLineWithoutTerminatorAndKeepsLfFiles) {
    write("[A]\nx=1");
    ui::IniFile ini(path);
    ini.setValue("A", "y", "2");
    ini.setValue("B", "z", "3");
    EXPECT_EQ(ini.bytes(), "[A]\nx=1\ny=2\n[B]\nz=3\n");
}

TEST_F(IniFileTest, NewFileUsesCrLf) {
    ui::IniFile ini(path);
    ini.setValue("TMainFormKvell1", "Left", "5");
    ini.save();
    EXPECT_EQ(stored(), "[TMainFormKvell1]\r\nLeft=5\r\n");
}

TEST_F(IniFileTest, SaveFailureNamesTheFile) {
    ui::IniFile ini(dir.filePath("missing/dir/kvellary.INI"));
    ini.setValue("A", "b", "c");
    try {
        ini.save();
        FAIL() << "no error";
    } catch (const xbase::Error& e) {
        EXPECT_TRUE(e.message().contains("kvellary.INI"));
    }
}

TEST(TrimBlanks, RemovesBlanksAndControlCharacters) {
    EXPECT_EQ(ui::trimBlanks(" \t x y \r"), "x y");
    EXPECT_EQ(ui::trimBlanks("   "), "");
}

} // namespace
