// The still-image command: arguments, and whole runs from file to file.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "render/OffscreenHarness.h"
#include "render/StripeReference.h"
#include "support/SmallFileSystem.h"
#include "support/TestEnvironment.h"
#include "talvex/FilterCommand.h"

namespace talvex::test {
namespace {

TEST(FilterArguments, ParsesOptionsAndRejectsBadOnes) {
    std::string error;
    auto options = parseFilterArguments({"in.png", "--scale", "2", "out.png", "--red", "0"}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->input, "in.png");
    EXPECT_EQ(options->output, "out.png");
    EXPECT_EQ(options->scale, 2);
    EXPECT_EQ(options->red, 0);
    EXPECT_FALSE(options->green);
    EXPECT_FALSE(options->strength);
    EXPECT_EQ(parseFilterArguments({"a", "b", "--strength", "75"}, error)->strength, 75);
    EXPECT_TRUE(parseFilterArguments({"--help"}, error)->help);
    EXPECT_TRUE(parseFilterArguments({"--version"}, error)->version);

    const std::vector<std::vector<std::string>> bad = {{},
                                                       {"in.png"},
                                                       {"a", "b", "c"},
                                                       {"a", "b", "--scale"},
                                                       {"a", "b", "--scale", "0"},
                                                       {"a", "b", "--scale", "nan"},
                                                       {"a", "b", "--scale", "2x"},
                                                       {"a", "b", "--red", "yes"},
                                                       {"a", "b", "--strength", "60"},
                                                       {"a", "b", "--bogus"}};
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(parseFilterArguments(args, error)) << args.size();
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(FilterArguments, PointsGiveBackEveryPixelAtAnyScale) {
    for (double scale : {1.0, 1.25, 1.5, 2.0, 3.0, 0.7, 7.3}) {
        for (int pixels = 1; pixels < 3000; pixels += 37) {
            EXPECT_EQ(std::trunc(pointsForPixels(pixels, scale) * scale), pixels)
                << pixels << " at " << scale;
        }
    }
}

// Hue sweep across, brightness down, a grey bar and a few flat patches: red, green,
// orange, teal and half-transparent pixels all take part.
QImage variedImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            QColor c = QColor::fromHsvF(static_cast<float>(x) / width, 0.9f,
                                        1.0f - 0.7f * static_cast<float>(y) / height);
            if (y < 6)
                c = QColor(x * 255 / width, x * 255 / width, x * 255 / width);
            if (x >= width - 10 && y >= height - 10)
                c = QColor(255, 128, 0, 100);
            image.setPixelColor(x, y, c);
        }
    }
    return image;
}

class FilterCommandRun : public testing::Test {
protected:
    void SetUp() override {
        dir_ = QString::fromStdString(makeTempDir("talvex-filter").string());
        input_ = dir_ + "/in.png";
        ASSERT_TRUE(variedImage(83, 61).save(input_));
    }
    static int run(std::vector<std::string> args) { return runFilterCommand(args); }
    std::string path(const char* name) const { return (dir_ + "/" + name).toStdString(); }

    QString dir_;
    QString input_;
};

TEST_F(FilterCommandRun, WritesTheFilteredPicture) {
    TALVEX_REQUIRE_GL();
    for (double scale : {1.0, 2.0}) {
        const std::string out = path("out.png");
        ASSERT_EQ(run({input_.toStdString(), out, "--scale", std::to_string(scale), "--red", "1",
                       "--green", "1"}),
                  0);
        const QImage in = QImage(input_).convertToFormat(QImage::Format_ARGB32);
        const QImage got =
            QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(got.size(), in.size());
        int mismatches = 0;
        for (int y = 0; y < in.height(); ++y) {
            for (int x = 0; x < in.width(); ++x) {
                const int j = in.height() - 1 - y;
                const std::uint32_t expected = expectedPixel(in.pixel(x, y), x, j, scale, 1, 1);
                if (!near(got.pixel(x, y), expected, 2))
                    ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << "scale " << scale;
    }
}

TEST_F(FilterCommandRun, SwitchesOffGiveBackTheInput) {
    TALVEX_REQUIRE_GL();
    const std::string out = path("plain.png");
    ASSERT_EQ(run({input_.toStdString(), out, "--red", "0", "--green", "0"}), 0);
    const QImage in = QImage(input_).convertToFormat(QImage::Format_ARGB32);
    const QImage got = QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < in.height(); ++y) {
        for (int x = 0; x < in.width(); ++x)
            ASSERT_TRUE(near(got.pixel(x, y), in.pixel(x, y), 1));
    }
}

TEST_F(FilterCommandRun, FailuresExitNonZeroAndLeaveNoOutput) {
    const std::string out = path("never.png");
    EXPECT_EQ(run({path("missing.png"), out}), 1);
    QFile corrupt(dir_ + "/corrupt.png");
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write("\x89PNG\r\n\x1a\n this is not an image");
    corrupt.close();
    EXPECT_EQ(run({path("corrupt.png"), out}), 1);
    EXPECT_EQ(run({input_.toStdString(), path("no/such/folder/out.png")}), 1);
    EXPECT_EQ(run({input_.toStdString(), path("out.unknownformat")}), 1);
    EXPECT_EQ(run({input_.toStdString()}), 2);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(out)));
}

TEST_F(FilterCommandRun, FullDiskExitsNonZeroAndKeepsTheOldOutput) {
    TALVEX_REQUIRE_GL();
    SmallFileSystem disk;
    TALVEX_REQUIRE_SMALL_FILE_SYSTEM(disk);
    const std::filesystem::path folder = disk.root() / "pictures";
    std::filesystem::create_directory(folder);
    const std::string old = "an older picture";
    std::ofstream(folder / "old.png", std::ios::binary) << old;
    ASSERT_TRUE(disk.fill());

    for (const char* name : {"old.png", "new.png"}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(run({input_.toStdString(), (folder / name).string()}), 1) << name;
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    }
    std::ifstream in(folder / "old.png", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

}  // namespace
}  // namespace talvex::test
