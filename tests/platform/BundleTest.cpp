#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>

#include "platform/Bundle.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

void writeFile(const std::filesystem::path& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path.string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(Bundle, MainBundleReadsTheCompiledInInfoAndResources) {
    const Bundle& bundle = Bundle::main();
    EXPECT_EQ(bundle.objectForInfoDictionaryKey(Bundle::nameKey).toString(), "Talvex");
    EXPECT_FALSE(bundle.objectForInfoDictionaryKey("NoSuchKey").isValid());
    EXPECT_EQ(bundle.executableFileName(), "test_platform");
    EXPECT_EQ(bundle.pathForResource("Credits", "html"), ":/Credits.html");
    EXPECT_EQ(bundle.pathForResource("Credits", "rtf"), "");
    EXPECT_EQ(bundle.pathForResource("", "json"), "");
}

TEST(Bundle, InfoValuesKeepTheirTypesAndLocalizedStringsWin) {
    const auto dir = test::makeTempDir("talvex-bundle");
    writeFile(dir / "Info.json",
              R"({"CFBundleName": "Lens", "CFBundleVersion": 210, "Short": 2.5, "Flag": true})");
    const QString language = QLocale().name().section(u'_', 0, 0);
    writeFile(dir / ("InfoPlist." + language.toStdString() + ".json"),
              R"({"CFBundleName": "Lupe"})");

    const Bundle bundle(QString::fromStdString(dir.string()), "/usr/bin/lens");
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleName").toString(), "Lupe");
    const QVariant build = bundle.objectForInfoDictionaryKey("CFBundleVersion");
    EXPECT_NE(build.typeId(), QMetaType::QString);
    EXPECT_EQ(build.toInt(), 210);
    EXPECT_DOUBLE_EQ(bundle.objectForInfoDictionaryKey("Short").toDouble(), 2.5);
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("Flag").typeId(), QMetaType::Bool);
    EXPECT_EQ(bundle.pathForResource("Info", "json"),
              QString::fromStdString((dir / "Info.json").string()));
}

TEST(Bundle, UnreadableInfoGivesAnEmptyDictionary) {
    const auto dir = test::makeTempDir("talvex-bundle");
    writeFile(dir / "Info.json", "[1, 2");
    const Bundle bundle(QString::fromStdString(dir.string()), "/usr/bin/lens");
    EXPECT_FALSE(bundle.objectForInfoDictionaryKey("CFBundleName").isValid());
    EXPECT_EQ(bundle.executableFileName(), "lens");
}

}  // namespace
}  // namespace talvex
