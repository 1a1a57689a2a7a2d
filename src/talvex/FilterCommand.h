#pragma once

// The still-image mode: `talvex filter INPUT OUTPUT [--scale S] [--red N] [--green N]
// [--strength P] [--find #RRGGBB [--near close|medium|wide]] [--overwrite]` draws an image file
// through the stripe filter, offscreen, at the image's own pixel size, and writes the result. The
// stripe switches default to the user's settings; --red, --green and --strength override them for
// this run without storing anything. OUTPUT replaces INPUT only with --overwrite, and images above
// maxFilterPixels are refused before they are decoded.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Rgb.h"
#include "settings/Settings.h"

namespace talvex {

struct FilterOptions {
    bool help = false;
    bool version = false;
    std::string input;
    std::string output;
    // Backing scale the picture is drawn at: the stripe period is 8 × scale pixels.
    double scale = 1;
    std::optional<std::int64_t> red;
    std::optional<std::int64_t> green;
    // Stripe strength in percent (25, 50, 75 or 100).
    std::optional<int> strength;
    // A colour to find: colours near it keep colour and stripes, the rest turns grey.
    std::optional<Rgb> find;
    std::optional<FindNear> near;
    // OUTPUT may name the same file as INPUT.
    bool overwrite = false;
};

// The largest image the command draws, in pixels. The peak is some 16 bytes a pixel
// (the picture, its texture, the drawable, the copy read back): about 750 MB in all at
// the limit.
constexpr std::int64_t maxFilterPixels = 40'000'000;

// The options in `args` (the words after "filter"), or none with `error` set to one
// line saying what is wrong.
std::optional<FilterOptions> parseFilterArguments(const std::vector<std::string>& args,
                                                  std::string& error);

// The view size in points for `pixels` device pixels at `scale`, chosen so that the
// viewport, points × scale truncated, comes out at exactly `pixels`.
double pointsForPixels(int pixels, double scale);

// Runs the command on the words after "filter"; returns the process's exit status:
// 0 on success, 1 when the work fails, 2 for bad arguments. Errors go to standard
// error as one line each.
int runFilterCommand(const std::vector<std::string>& args);

}  // namespace talvex
