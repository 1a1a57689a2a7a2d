#include "talvex/FilterCommand.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/AtomicFileWriter.h"
#include "platform/CapturedImage.h"
#include "platform/gl/EGLHeadlessContext.h"
#include "render/PixelBufferRenderer.h"
#include "render/TalvexFilter.h"
#include "settings/Settings.h"

namespace talvex {

namespace {

constexpr const char* usage =
    "Usage: talvex filter INPUT OUTPUT [--scale S] [--red N] [--green N]\n"
    "                            [--strength P]\n"
    "\n"
    "Draws the image INPUT through the stripe filter and writes the result to OUTPUT\n"
    "(format from its extension: png, jpg, bmp, ...).\n"
    "\n"
    "  --scale S   backing scale factor to draw at (stripe period 8 x S pixels), default 1\n"
    "  --red N     red stripe switch for this run (0 off, 1 on); default: your setting\n"
    "  --green N   green stripe switch for this run (0 off, 1 on); default: your setting\n"
    "  --strength P  stripe strength in percent: 25, 50, 75 or 100; default: your setting\n"
    "  --help      show this text\n"
    "  --version   show the version\n";

constexpr double maxScale = 64;

int fail(const std::string& line) {
    std::fprintf(stderr, "talvex filter: %s\n", line.c_str());
    return 1;
}

template <typename T>
bool parseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool parseScale(const std::string& text, double& scale) {
    // from_chars for double is not in every standard library yet.
    char* end = nullptr;
    scale = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(scale) &&
           scale > 0 && scale <= maxScale;
}

// The image in the captured-image layout: 32-bit BGRA words, rows top first.
std::unique_ptr<MemoryImage> capturedLayout(const QImage& loaded) {
    const QImage argb = loaded.convertToFormat(QImage::Format_ARGB32);
    if (argb.isNull())
        return nullptr;
    const auto bytesPerRow = static_cast<std::size_t>(argb.bytesPerLine());
    const auto* first = argb.constBits();
    std::vector<std::uint8_t> bytes(first,
                                    first + bytesPerRow * static_cast<std::size_t>(argb.height()));
    return std::make_unique<MemoryImage>(argb.width(), argb.height(), bytesPerRow, 32,
                                         std::move(bytes));
}

std::optional<QImage> loadImage(const std::string& path, std::string& error) {
    const QString name = QString::fromStdString(path);
    if (!QFileInfo::exists(name)) {
        error = "cannot read " + path + ": no such file";
        return std::nullopt;
    }
    QImageReader reader(name);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        error = "cannot read " + path + ": " + reader.errorString().toStdString();
        return std::nullopt;
    }
    return image;
}

// Writes all of the image or nothing: the file appears under its name only complete,
// and a failed write leaves an older file of that name as it was.
bool saveImage(const QImage& image, const std::string& path, std::string& error) {
    // 1. Encode in memory.
    const QString name = QString::fromStdString(path);
    const QByteArray format = QFileInfo(name).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) {
        error = "cannot write " + path + ": unknown image format (use an extension such as .png)";
        return false;
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) {
        error = "cannot write " + path + ": " + writer.errorString().toStdString();
        return false;
    }
    // 2. Replace the file.
    std::string why;
    if (!AtomicFileWriter(path).write(std::string_view(encoded.constData(), encoded.size()),
                                      &why)) {
        error = "cannot write " + path + ": " + why;
        return false;
    }
    return true;
}

// Draws `image` through the stripe filter into an offscreen drawable of its size and
// reads the result back; none (with `error`) when OpenGL is not usable.
std::optional<QImage> drawFiltered(const MemoryImage& image, const FilterOptions& options,
                                   std::string& error) {
    const int width = static_cast<int>(image.width());
    const int height = static_cast<int>(image.height());
    std::string why;
    std::unique_ptr<EGLHeadlessContext> context = EGLHeadlessContext::create(width, height, &why);
    if (!context) {
        error = "no usable OpenGL: " + why;
        return std::nullopt;
    }
    EGLHeadlessContext& drawable = *context;
    const TalvexFilter::SwitchOverrides overrides{options.red, options.green, options.strength};
    PixelBufferRenderer renderer(std::move(context),
                                 [overrides] { return std::make_unique<TalvexFilter>(overrides); });

    renderer.prepareOpenGL();
    if (renderer.program() == 0) {
        error = "no usable OpenGL: the stripe program could not be built";
        return std::nullopt;
    }
    renderer.reshape(
        Rect(0, 0, pointsForPixels(width, options.scale), pointsForPixels(height, options.scale)),
        options.scale);
    renderer.displayImage(image, 1.0);
    if (renderer.framesPresented() == 0) {
        error = "no usable OpenGL: the image could not be drawn (too large?)";
        return std::nullopt;
    }
    std::vector<std::uint8_t> pixels = drawable.readPixelsBGRA();
    if (pixels.empty()) {
        error = "no usable OpenGL: the result could not be read back";
        return std::nullopt;
    }
    // Format_ARGB32 is the same BGRA byte order on a little-endian machine.
    return QImage(pixels.data(), width, height, width * 4, QImage::Format_ARGB32).copy();
}

}  // namespace

std::optional<FilterOptions> parseFilterArguments(const std::vector<std::string>& args,
                                                  std::string& error) {
    FilterOptions options;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--help" || word == "-h") {
            options.help = true;
            return options;
        }
        if (word == "--version") {
            options.version = true;
            return options;
        }
        if (word == "--scale" || word == "--red" || word == "--green" || word == "--strength") {
            if (i + 1 >= args.size()) {
                error = word + " needs a value";
                return std::nullopt;
            }
            const std::string& value = args[++i];
            std::int64_t number = 0;
            if (word == "--scale") {
                if (!parseScale(value, options.scale)) {
                    error = "--scale wants a number above 0 and at most 64, not \"" + value + "\"";
                    return std::nullopt;
                }
            } else if (!parseNumber(value, number)) {
                error = word + " wants a whole number, not \"" + value + "\"";
                return std::nullopt;
            } else if (word == "--strength") {
                if (!isStripeStrength(number)) {
                    error = "--strength wants 25, 50, 75 or 100, not \"" + value + "\"";
                    return std::nullopt;
                }
                options.strength = static_cast<int>(number);
            } else {
                (word == "--red" ? options.red : options.green) = number;
            }
            continue;
        }
        if (word.size() > 1 && word[0] == '-') {
            error = "unknown option " + word;
            return std::nullopt;
        }
        files.push_back(word);
    }
    if (files.size() != 2) {
        error = "expects an input and an output file";
        return std::nullopt;
    }
    options.input = files[0];
    options.output = files[1];
    return options;
}

double pointsForPixels(int pixels, double scale) {
    double points = pixels / scale;
    while (std::trunc(points * scale) < pixels)
        points = std::nextafter(points, INFINITY);
    return points;
}

int runFilterCommand(const std::vector<std::string>& args) {
    std::string error;
    const std::optional<FilterOptions> options = parseFilterArguments(args, error);
    if (!options) {
        std::fprintf(stderr, "talvex filter: %s (see talvex filter --help)\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (options->version) {
        std::printf("talvex %s\n", TALVEX_VERSION);
        return 0;
    }

    // Image plug-ins are found through the application object.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "talvex";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }

    const std::optional<QImage> loaded = loadImage(options->input, error);
    if (!loaded)
        return fail(error);
    const std::unique_ptr<MemoryImage> image = capturedLayout(*loaded);
    if (!image)
        return fail("cannot read " + options->input + ": unsupported pixel format");

    TalvexFilter::registerDefaults();
    const std::optional<QImage> filtered = drawFiltered(*image, *options, error);
    if (!filtered)
        return fail(error);
    if (!saveImage(*filtered, options->output, error))
        return fail(error);
    return 0;
}

}  // namespace talvex
