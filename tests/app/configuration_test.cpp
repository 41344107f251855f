#include "configuration.h"
#include "xbase/codepage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kTitle = QStringLiteral("Поликлиника Сарвенска");

// The title as a Windows editor in code page 1251 would store it.
QByteArray cp1251(const QString& text) {
    QByteArray out;
    for (QChar ch : text)
        out.append(ch.unicode() >= 0x410 && ch.unicode() <= 0x44F
                       ? static_cast<char>(ch.unicode() - 0x410 + 0xC0)
                       : static_cast<char>(ch.toLatin1()));
    return out;
}

struct Case {
    const char* name;
    QStringList arguments;
    // INI files to write, by file name relative to the executable's directory.
    std::vector<std::pair<QString, QByteArray>> files;
    // Expected values; "@" stands for the executable's directory with a separator.
    QString configFileName;
    QString baseDir;
    bool design;
    QString title;
};

QString native(const QString& dir, const QString& pattern) {
    QString s = pattern;
    return s.replace(QStringLiteral("@"), QDir::toNativeSeparators(dir + QLatin1Char('/')));
}

TEST(Configuration, CommandLineAndFile) {
    const QString longBase = QStringLiteral("/data/") + QString(294, QLatin1Char('b'));
    const std::vector<Case> cases{
        {"no file, no arguments", {}, {}, "@kvellary.INI", "@BASE", false, "Квелларий"},
        {"/I= with nothing after it", {"/I="}, {}, "@kvellary.INI", "@BASE", false, "Квелларий"},
        {"later /I= overrides /i=",
         {"/i=@a.ini", "/I=@b.ini"},
         {{"a.ini", "[Paths]\r\nPathBase=/from/a\r\n"},
          {"b.ini", "[Paths]\r\nPathBase=/from/b\r\n"}},
         "@b.ini",
         "/from/b",
         false,
         "Квелларий"},
        {"other forms of /I are ignored",
         {"/I:x", "-I=x", "/iX"},
         {},
         "@kvellary.INI",
         "@BASE",
         false,
         "Квелларий"},
        {"/S", {"/S"}, {}, "@kvellary.INI", "@BASE", true, "Квелларий"},
        {"/s", {"x", "/s"}, {}, "@kvellary.INI", "@BASE", true, "Квелларий"},
        {"-S", {"-S"}, {}, "@kvellary.INI", "@BASE", false, "Квелларий"},
        {"S", {"S"}, {}, "@kvellary.INI", "@BASE", false, "Квелларий"},
        {"/Sx", {"/Sx"}, {}, "@kvellary.INI", "@BASE", false, "Квелларий"},
        {"/I=/S names a file /S and switches the designer on",
         {"/I=/S"},
         {},
         "/S",
         "@BASE",
         true,
         "Квелларий"},
        {"blank PathBase keeps the default",
         {},
         {{"kvellary.INI", "[Paths]\r\nPathBase=   \r\n"}},
         "@kvellary.INI",
         "@BASE",
         false,
         "Квелларий"},
        {"PathBase trimmed, used unchanged",
         {},
         {{"kvellary.INI", "[Paths]\r\nPathBase=  relative/base/  \r\n"}},
         "@kvellary.INI",
         "relative/base/",
         false,
         "Квелларий"},
        {"AppName in code page 866",
         {},
         {{"kvellary.INI", "[Application]\r\nAppName=  " + xbase::toOem(kTitle) + " \r\n"}},
         "@kvellary.INI",
         "@BASE",
         false,
         kTitle},
        {"AppName in code page 1251 comes out garbled",
         {},
         {{"kvellary.INI", "[Application]\r\nAppName=" + cp1251(kTitle) + "\r\n"}},
         "@kvellary.INI",
         "@BASE",
         false,
         xbase::fromOem(cp1251(kTitle))},
        {"blank AppName gives the default title",
         {},
         {{"kvellary.INI", "[Application]\r\nAppName= \t \r\n"}},
         "@kvellary.INI",
         "@BASE",
         false,
         "Квелларий"},
        {"base path cut to 255 characters",
         {},
         {{"kvellary.INI", "[Paths]\r\nPathBase=" + longBase.toLocal8Bit() + "\r\n"}},
         "@kvellary.INI",
         longBase.left(255),
         false,
         "Квелларий"},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        for (const auto& [name, bytes] : c.files) {
            QFile f(dir.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        QStringList arguments;
        for (const QString& a : c.arguments)
            arguments << native(dir.path(), a);
        const app::Configuration got =
            app::readConfiguration(dir.filePath(QStringLiteral("kvellary")), arguments);
        EXPECT_EQ(got.configFileName.toStdString(),
                  native(dir.path(), c.configFileName).toStdString());
        EXPECT_EQ(got.baseDir.toStdString(), native(dir.path(), c.baseDir).toStdString());
        EXPECT_EQ(got.reportDesignAllowed, c.design);
        EXPECT_EQ(got.title.toStdString(), c.title.toStdString());
    }
}

TEST(Configuration, FileNameReplacesTheExecutablesExtension) {
    const QString dir = QDir::tempPath() + QStringLiteral("/my.dir");
    const auto name = [&](const char* exe) {
        return app::readConfiguration(dir + QLatin1Char('/') + QLatin1String(exe), {})
            .configFileName;
    };
    EXPECT_EQ(name("kvellary.exe"), QDir::toNativeSeparators(dir + "/kvellary.INI"));
    EXPECT_EQ(name("my.prog.exe"), QDir::toNativeSeparators(dir + "/my.prog.INI"));
    EXPECT_EQ(name("kvellary"), QDir::toNativeSeparators(dir + "/kvellary.INI"));
}

TEST(Configuration, LongConfigFileNameIsCut) {
    const QString path = QStringLiteral("/x/") + QString(300, QLatin1Char('c'));
    const auto got = app::readConfiguration(QStringLiteral("/opt/kvellary"), {"/I=" + path});
    EXPECT_EQ(got.configFileName, path.left(255));
}

} // namespace
