#include "render/ColourNamer.h"

#include <lcms2.h>

#include <QFile>
#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

#include "platform/SystemLog.h"

namespace talvex {

namespace {

constexpr const char* standardTable = ":/colours/xkcd-rgb.txt";

// The words of everyday colour names: colours, and the modifiers of lightness and
// saturation said with them. Names of other words ("fire engine red", "pumpkin
// orange") are left out, and with them the crude and the misspelt.
constexpr std::array colourWords = {
    "red",     "orange",   "yellow",  "green",     "blue",      "purple",   "pink",     "brown",
    "grey",    "black",    "white",   "teal",      "turquoise", "violet",   "magenta",  "cyan",
    "maroon",  "navy",     "olive",   "lime",      "beige",     "tan",      "lavender", "lilac",
    "aqua",    "indigo",   "cream",   "peach",     "salmon",    "gold",     "golden",   "mauve",
    "khaki",   "mint",     "rose",    "crimson",   "scarlet",   "burgundy", "coral",    "ivory",
    "silver",  "charcoal", "plum",    "mustard",   "lemon",     "sand",     "sky",      "sea",
    "forest",  "grass",    "cherry",  "chocolate", "wine",      "rust",     "brick",    "blood",
    "emerald", "jade",     "reddish", "orangish",  "yellowish", "greenish", "bluish",   "purplish",
    "pinkish", "brownish", "greyish",
};
constexpr std::array modifierWords = {
    "light",  "lighter", "lightish", "dark",  "darkish", "pale",  "bright",
    "deep",   "dull",    "dusty",    "muted", "pastel",  "vivid", "very",
    "medium", "mid",     "faded",    "soft",  "warm",    "cool",  "pure",
    "strong", "off",     "royal",    "baby",  "hot",     "neon",  "orangey",
};

template <std::size_t n>
bool contains(const std::array<const char*, n>& words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

bool parseHex(std::string_view text, Rgb& colour) {
    if (text.size() != 7 || text[0] != '#')
        return false;
    std::array<std::uint8_t, 3> channels{};
    for (std::size_t i = 0; i < 3; ++i) {
        const char* begin = text.data() + 1 + 2 * i;
        const auto [end, failure] = std::from_chars(begin, begin + 2, channels[i], 16);
        if (failure != std::errc() || end != begin + 2)
            return false;
    }
    colour = {channels[0], channels[1], channels[2]};
    return true;
}

std::optional<ColourNamer::NamedColour> parseLine(std::string_view line) {
    const std::size_t tab = line.find('\t');
    if (tab == 0 || tab == std::string_view::npos)
        return std::nullopt;
    ColourNamer::NamedColour entry{std::string(line.substr(0, tab)), {}};
    if (!parseHex(line.substr(tab + 1), entry.colour))
        return std::nullopt;
    return entry;
}

std::vector<ColourNamer::NamedColour> loadStandardTable() {
    QFile file(QString::fromLatin1(standardTable));
    std::string error = "cannot be read";
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray text = file.readAll();
        if (auto table =
                ColourNamer::parseTable(std::string_view(text.data(), text.size()), &error)) {
            std::erase_if(*table,
                          [](const auto& entry) { return !ColourNamer::isEveryday(entry.name); });
            return std::move(*table);
        }
    }
    systemLog(std::string("The colour names ") + standardTable + " " + error +
              "; colours are not named.");
    return {};
}

}  // namespace

// sRGB to CIELAB (D50, the ICC connection space) through Little CMS, and the table's
// colours in it.
class ColourNamer::Lab {
public:
    explicit Lab(const std::vector<NamedColour>& table) {
        const Profile sRGB(cmsCreate_sRGBProfile());
        const Profile lab(cmsCreateLab4Profile(nullptr));
        if (sRGB && lab) {
            transform_.reset(cmsCreateTransform(sRGB.get(), TYPE_RGB_8, lab.get(), TYPE_Lab_DBL,
                                                INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE));
        }
        table_.reserve(table.size());
        for (const NamedColour& entry : table)
            table_.push_back(of(entry.colour));
    }

    cmsCIELab of(Rgb colour) const {
        const std::array<std::uint8_t, 3> rgb{colour.red, colour.green, colour.blue};
        cmsCIELab lab{};
        if (transform_)
            cmsDoTransform(transform_.get(), rgb.data(), &lab, 1);
        return lab;
    }

    // The index of the table's colour nearest to `colour`.
    std::size_t nearest(Rgb colour) const {
        const cmsCIELab wanted = of(colour);
        std::size_t best = 0;
        double bestDistance = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < table_.size(); ++i) {
            const double distance = cmsCIE2000DeltaE(&wanted, &table_[i], 1, 1, 1);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return best;
    }

private:
    Transform transform_;
    std::vector<cmsCIELab> table_;
};

std::optional<std::vector<ColourNamer::NamedColour>> ColourNamer::parseTable(std::string_view text,
                                                                             std::string* error) {
    std::vector<NamedColour> table;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        std::optional<NamedColour> entry = parseLine(line);
        if (!entry) {
            if (error)
                *error = "has a line " + std::to_string(lineNumber) +
                         " that is not a name, a tab and #rrggbb";
            return std::nullopt;
        }
        table.push_back(std::move(*entry));
    }
    return table;
}

bool ColourNamer::isEveryday(std::string_view name) {
    std::vector<std::string_view> seen;
    bool coloured = false;
    while (!name.empty()) {
        const std::size_t end = std::min(name.find_first_of(" /"), name.size());
        const std::string_view word = name.substr(0, end);
        name.remove_prefix(std::min(end + 1, name.size()));
        if (std::find(seen.begin(), seen.end(), word) != seen.end())
            return false;  // "blue blue"
        seen.push_back(word);
        coloured = coloured || contains(colourWords, word);
        if (!contains(colourWords, word) && !contains(modifierWords, word))
            return false;
    }
    return coloured;
}

const ColourNamer& ColourNamer::standard() {
    static const ColourNamer namer(loadStandardTable());
    return namer;
}

ColourNamer::ColourNamer(std::vector<NamedColour> table)
    : table_(std::move(table)), lab_(std::make_unique<const Lab>(table_)) {}

ColourNamer::~ColourNamer() = default;

const std::string& ColourNamer::nameOf(Rgb colour) const {
    static const std::string none;
    return table_.empty() ? none : table_[lab_->nearest(colour)].name;
}

std::string ColourNamer::describe(Rgb colour) const {
    const std::string& name = nameOf(colour);
    return name.empty() ? hexString(colour) : name + " \u00b7 " + hexString(colour);
}

}  // namespace talvex
