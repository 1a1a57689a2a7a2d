// The still-image command: arguments, and whole runs from file to file.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ShellTestSupport.h"

#include "render/OffscreenHarness.h"
#include "render/StripeReference.h"
#include "render/TalvexFilter.h"
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
    EXPECT_FALSE(options->overwrite);
    EXPECT_TRUE(parseFilterArguments({"a", "--overwrite", "b"}, error)->overwrite);
    const auto finding =
        parseFilterArguments({"a", "b", "--find", "#00808f", "--near", "wide"}, error);
    EXPECT_EQ(finding->find, (talvex::Rgb{0, 0x80, 0x8f}));
    EXPECT_EQ(finding->near, FindNear::wide);
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
                                                       {"a", "b", "--find", "#00808"},
                                                       {"a", "b", "--find", "teal"},
                                                       {"a", "b", "--near", "far"},
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

// Finding teal among cyan and green: the teal bar comes out as without --find (its own
// colour and stripes), the others grey; a close range keeps a near teal out.
TEST_F(FilterCommandRun, FindingKeepsTheColourAndItsStripesAndTurnsTheRestGrey) {
    TALVEX_REQUIRE_GL();
    const QColor teal(0, 128, 128), nearTeal(0, 140, 128), cyan(0, 255, 255), green(0, 160, 0);
    QImage bars(64, 24, QImage::Format_ARGB32);
    const QColor colours[] = {teal, nearTeal, cyan, green};
    for (int x = 0; x < bars.width(); ++x) {
        for (int y = 0; y < bars.height(); ++y)
            bars.setPixelColor(x, y, colours[x / 16]);
    }
    const QString in = dir_ + "/bars.png";
    ASSERT_TRUE(bars.save(in));
    const auto filtered = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{
            in.toStdString(), path("found.png"), "--red", "1", "--green", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(run(args), 0);
        return QImage(QString::fromStdString(path("found.png")))
            .convertToFormat(QImage::Format_ARGB32);
    };
    const QImage plain = filtered({});
    // Grey at the dimmed lightness the lens draws (within one level).
    const auto isDimmedGrey = [](QRgb p, QColor from) {
        const auto lab = TalvexFilter::cielab(talvex::Rgb{static_cast<std::uint8_t>(from.red()),
                                                          static_cast<std::uint8_t>(from.green()),
                                                          static_cast<std::uint8_t>(from.blue())});
        const int level = static_cast<int>(std::lround(255 * (0.12 + 0.4 * lab[0] / 100)));
        return std::abs(qRed(p) - level) <= 1 && std::abs(qGreen(p) - level) <= 1 &&
               std::abs(qBlue(p) - level) <= 1;
    };
    // Which bars keep their filtered pixels, which turn grey, at each range.
    for (const auto& [near, kept] :
         {std::pair{std::string("medium"), 2}, {std::string("close"), 1}}) {
        const QImage found = filtered({"--find", "#008080", "--near", near});
        for (int bar = 0; bar < 4; ++bar) {
            int same = 0, grey = 0, striped = 0;
            for (int x = bar * 16; x < bar * 16 + 16; ++x) {
                for (int y = 0; y < bars.height(); ++y) {
                    same += found.pixel(x, y) == plain.pixel(x, y);
                    grey += isDimmedGrey(found.pixel(x, y), colours[bar]);
                    striped += plain.pixel(x, y) != bars.pixel(x, y);
                }
            }
            const int all = 16 * bars.height();
            if (bar < kept) {
                EXPECT_EQ(same, all) << near << " bar " << bar;
                EXPECT_GT(striped, 0) << "bar " << bar;
            } else {
                EXPECT_EQ(grey, all) << near << " bar " << bar;
            }
        }
    }
}

// Each failure says so in one line, the image libraries' own included, and an image
// above the limit is refused from its header, before its pixels are decoded.
TEST_F(FilterCommandRun, FailuresExitNonZeroAndLeaveNoOutput) {
    const std::string out = path("never.png");
    const auto write = [this](const char* name, const QByteArray& bytes) {
        QFile file(dir_ + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("corrupt.png", "\x89PNG\r\n\x1a\n this is not an image");
    QFile whole(input_);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    write("truncated.png", whole.readAll().left(static_cast<int>(whole.size() / 2)));
    // A header of one pixel row more than the limit allows, and no pixels.
    const int wide = 10000;
    write("huge.ppm", "P6\n" + QByteArray::number(wide) + " " +
                          QByteArray::number(maxFilterPixels / wide + 1) + "\n255\n");

    const std::vector<std::pair<std::vector<std::string>, int>> runs = {
        {{path("missing.png"), out}, 1},
        {{path("corrupt.png"), out}, 1},
        {{path("truncated.png"), out}, 1},
        {{path("huge.ppm"), out}, 1},
        {{input_.toStdString(), path("no/such/folder/out.png")}, 1},
        {{input_.toStdString(), path("out.unknownformat")}, 1},
        {{input_.toStdString()}, 2}};
    for (const auto& [args, status] : runs) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(run(args), status) << args[0];
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        if (args[0] == path("huge.ppm")) {
            EXPECT_NE(log.find("40 megapixels"), std::string::npos) << log;
        }
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(out)));
}

// The input named again as the output, whatever the road to it, is left alone unless
// --overwrite asks for it.
TEST_F(FilterCommandRun, AnOutputThatIsTheInputIsRefusedUnlessOverwriteIsGiven) {
    namespace fs = std::filesystem;
    const fs::path in = input_.toStdString();
    const fs::path folder = in.parent_path();
    fs::create_directory(folder / "sub");
    fs::create_symlink(in, folder / "link.png");
    fs::create_hard_link(in, folder / "hard.png");
    QFile file(input_);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();
    file.close();

    const std::vector<std::pair<fs::path, fs::path>> aliases = {
        {in, in},
        {in, folder / "." / "in.png"},
        {in, folder / "sub" / ".." / "in.png"},
        {in, folder / "link.png"},
        {in, folder / "hard.png"},
        {folder / "link.png", in}};
    for (const auto& [from, to] : aliases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(run({from.string(), to.string()}), 1) << to;
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_NE(log.find("--overwrite"), std::string::npos) << log;
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == original) << to;
        file.close();
    }

    TALVEX_REQUIRE_GL();
    EXPECT_EQ(run({in.string(), in.string(), "--overwrite"}), 0);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll() == original);
}

// Out of address space (ulimit -v) the command ends with one line and status 1 where
// it used to abort on an uncaught allocation failure.
TEST_F(FilterCommandRun, WithoutMemoryForTheImageItSaysSoInOneLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer needs more address space than the limit leaves";
#endif
    TALVEX_REQUIRE_GL();
    QImage large(8000, 4000, QImage::Format_RGB32);
    large.fill(QColor(192, 64, 64));
    ASSERT_TRUE(large.save(dir_ + "/large.png"));
    large = QImage();
    // A 32-megapixel image under a limit 300 MB short of what it needs and 300 MB above
    // what a small image needs, with the renderer's threads and malloc's arenas held to
    // a fixed number so that the limit means the same on any machine.
    const auto runLimited = [this](const char* image, QString& log) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LP_NUM_THREADS"), QStringLiteral("2"));
        environment.insert(QStringLiteral("MALLOC_ARENA_MAX"), QStringLiteral("2"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"),
                       QStringLiteral("ulimit -v 665600 && exec \"$0\" filter \"$1\" \"$2\""),
                       talvexProgram(), dir_ + "/" + image, dir_ + "/out.png"});
        EXPECT_TRUE(process.waitForFinished(60000));
        log = QString::fromLocal8Bit(process.readAll());
        return process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode();
    };
    QString log;
    if (runLimited("in.png", log) != 0)
        GTEST_SKIP() << "this OpenGL needs more than the limit for a small image: "
                     << log.toStdString();
    EXPECT_EQ(runLimited("large.png", log), 1) << log.toStdString();
    EXPECT_EQ(log.count(QLatin1Char('\n')), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("not enough memory"))) << log.toStdString();
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
