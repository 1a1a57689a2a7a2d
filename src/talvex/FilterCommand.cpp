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
#include <filesystem>
#include <memory>
#include <new>

#include "platform/AtomicFileWriter.h"
#include "platform/CapturedImage.h"
#include "render/TalvexFilter.h"
#include "settings/Settings.h"
#include "talvex/ImageLibraryMessages.h"
#include "talvex/OffscreenDrawing.h"

namespace talvex {

namespace {

constexpr const char* usage =
    "Usage: talvex filter INPUT OUTPUT [--scale S] [--red N] [--green N]\n"
    "                            [--strength P] [--find #RRGGBB [--near W]] [--overwrite]\n"
    "\n"
    "Draws the image INPUT through the stripe filter and writes the result to OUTPUT\n"
    "(format from its extension: png, jpg, bmp, ...). Images of up to 40 megapixels\n"
    "are drawn; larger ones are refused before they are read. OUTPUT may not be INPUT\n"
    "itself, nor a link to it, unless --overwrite is given.\n"
    "\n"
    "  --scale S      backing scale factor to draw at (stripe period 8 x S pixels),\n"
    "                 default 1\n"
    "  --red N        red stripe switch for this run (0 off, 1 on); default: your setting\n"
    "  --green N      green stripe switch for this run (0 off, 1 on); default: your setting\n"
    "  --strength P   stripe strength in percent: 25, 50, 75 or 100; default: your setting\n"
    "  --find #RRGGBB draw colours near this one as usual and everything else dimmed grey\n"
    "  --near W       how near counts with --find: close, medium or wide; default: your\n"
    "                 setting\n"
    "  --overwrite    replace INPUT with the result when OUTPUT names the same file\n"
    "  --help         show this text\n"
    "  --version      show the version\n";

constexpr double maxScale = 64;
constexpr std::int64_t megapixel = 1'000'000;

// "#RRGGBB" (or without the mark), either case.
std::optional<Rgb> parseHexColour(const std::string& text) {
    const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (digits.size() != 6 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    const unsigned long value = std::stoul(digits, nullptr, 16);
    return Rgb{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
               static_cast<std::uint8_t>(value)};
}

std::optional<FindNear> parseFindNear(const std::string& text) {
    if (text == "close")
        return FindNear::close;
    if (text == "medium")
        return FindNear::medium;
    if (text == "wide")
        return FindNear::wide;
    return std::nullopt;
}

int fail(const std::string& line) {
    std::fprintf(stderr, "talvex filter: %s\n", line.c_str());
    return 1;
}

std::string sizeText(QSize size) {
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
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

// Whether `output` names the file `input` is, through links of any kind (./, ..,
// symbolic and hard links): the same device and inode. False when either is missing.
bool isSameFile(const std::string& input, const std::string& output) {
    std::error_code error;
    return std::filesystem::equivalent(input, output, error);
}

bool isTooLarge(QSize size) {
    return static_cast<std::int64_t>(size.width()) * size.height() > maxFilterPixels;
}

std::string tooLarge(const std::string& path, QSize size) {
    return "cannot filter " + path + ": " + sizeText(size) + " pixels is more than the " +
           std::to_string(maxFilterPixels / megapixel) + " megapixels an image may have";
}

std::string outOfMemory(const std::string& path) {
    return "not enough memory to filter " + path;
}

// The size the decoded picture will have, from the file's header, turned as the file
// asks to be shown; invalid when the header does not say.
QSize headerSize(QImageReader& reader) {
    QSize size = reader.size();
    if (size.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        size.transpose();
    return size;
}

// Decodes the picture of `reader`, whose header gave `size` (invalid when it gave none),
// converted to 32-bit ARGB in place; none with `error`.
std::optional<QImage> decode(QImageReader& reader, QSize size, const std::string& path,
                             std::string& error) {
    ImageLibraryMessages messages;
    QImage image = reader.read();
    if (image.isNull()) {
        // The reader does not tell want of memory from a damaged file: a picture of the
        // size the header gives that cannot be had now is the former.
        const bool noRoom =
            size.isValid() &&
            QImage(size, reader.imageFormat() == QImage::Format_Invalid ? QImage::Format_ARGB32
                                                                        : reader.imageFormat())
                .isNull();
        error = noRoom ? outOfMemory(path)
                       : messages.withDetail("cannot read " + path + ": " +
                                             reader.errorString().toStdString());
        return std::nullopt;
    }
    // Converting a picture the reader made cannot fail but for want of memory.
    image.convertTo(QImage::Format_ARGB32);
    if (image.isNull() || image.format() != QImage::Format_ARGB32) {
        error = outOfMemory(path);
        return std::nullopt;
    }
    // Read all the same (a truncated file, an odd colour profile): one line on it.
    if (const std::string said = messages.first(); !said.empty())
        std::fprintf(stderr, "talvex filter: %s: %s\n", path.c_str(), said.c_str());
    return image;
}

// The picture in the captured-image layout: 32-bit BGRA words, rows top first (32-bit
// ARGB is that byte order on a little-endian machine).
std::shared_ptr<const MemoryImage> capturedLayout(const QImage& argb) {
    const auto bytesPerRow = static_cast<std::size_t>(argb.bytesPerLine());
    const auto* first = argb.constBits();
    std::vector<std::uint8_t> bytes(first,
                                    first + bytesPerRow * static_cast<std::size_t>(argb.height()));
    return std::make_shared<MemoryImage>(argb.width(), argb.height(), bytesPerRow, 32,
                                         std::move(bytes));
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
    {
        ImageLibraryMessages messages;
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (!writer.write(image)) {
            error = messages.withDetail("cannot write " + path + ": " +
                                        writer.errorString().toStdString());
            return false;
        }
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

// The whole run from file to file; the exit status.
int filterFile(const FilterOptions& options) {
    // 1. The file, and its size from the header where it gives one.
    const QString name = QString::fromStdString(options.input);
    if (!QFileInfo::exists(name))
        return fail("cannot read " + options.input + ": no such file");
    QImageReader reader(name);
    reader.setAutoTransform(true);
    // The reader's own bound, for files whose header does not give the size: an image
    // of the largest size at 8 bytes a pixel (16-bit channels).
    reader.setAllocationLimit(static_cast<int>(maxFilterPixels * 8 / (1024 * 1024)) + 1);
    QSize size;
    {
        ImageLibraryMessages quiet;
        size = headerSize(reader);
    }
    if (size.isValid() && isTooLarge(size))
        return fail(tooLarge(options.input, size));

    // 2. OpenGL, then the picture.
    std::string error;
    std::unique_ptr<OffscreenDrawing> drawing;
    if (size.isValid() && !(drawing = OffscreenDrawing::create(size, options, error)))
        return fail(error);
    std::optional<QImage> picture = decode(reader, size, options.input, error);
    if (!picture)
        return fail(error);
    if (isTooLarge(picture->size()))
        return fail(tooLarge(options.input, picture->size()));
    if (!drawing || drawing->size() != picture->size()) {
        drawing.reset();
        if (!(drawing = OffscreenDrawing::create(picture->size(), options, error)))
            return fail(error);
    }
    std::shared_ptr<const MemoryImage> image = capturedLayout(*picture);
    picture.reset();

    // 3. Draw, let OpenGL's memory go, and write the result.
    const std::optional<QImage> filtered = drawing->draw(std::move(image), error);
    drawing.reset();
    if (!filtered)
        return fail(error);
    if (!saveImage(*filtered, options.output, error))
        return fail(error);
    return 0;
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
        if (word == "--overwrite") {
            options.overwrite = true;
            continue;
        }
        if (word == "--find" || word == "--near") {
            if (i + 1 >= args.size()) {
                error = word + " needs a value";
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (word == "--find" && !(options.find = parseHexColour(value))) {
                error = "--find wants a colour as #RRGGBB, not \"" + value + "\"";
                return std::nullopt;
            }
            if (word == "--near" && !(options.near = parseFindNear(value))) {
                error = "--near wants close, medium or wide, not \"" + value + "\"";
                return std::nullopt;
            }
            continue;
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

    if (!options->overwrite && isSameFile(options->input, options->output)) {
        return fail("will not write over the input image " + options->input + " (" +
                    options->output + " is the same file); add --overwrite to replace it");
    }

    // Image plug-ins are found through the application object.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "talvex";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    TalvexFilter::registerDefaults();
    try {
        return filterFile(*options);
    } catch (const std::bad_alloc&) {
        return fail(outOfMemory(options->input));
    }
}

}  // namespace talvex
