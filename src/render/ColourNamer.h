#pragma once

// Names colours the way people do: the name of the nearest colour of a table of named
// colours, nearest by perceived difference (CIEDE2000 between the CIELAB values of two
// sRGB colours, as Little CMS works them out). The table's CIELAB values are worked
// out once, when the namer is made.
//
// The standard namer reads the xkcd colour survey's names (resources/colours) and keeps
// the everyday ones, those a person would say aloud: colour words with modifiers of
// lightness and saturation ("dark red", "light greenish blue"), not "fire engine red".
//
// Threading: a namer does not change once made; any number of threads may ask it at
// once (its colour transform keeps no cache).
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Rgb.h"

namespace talvex {

class ColourNamer {
public:
    struct NamedColour {
        std::string name;
        Rgb colour;
    };

    // The entries of a table laid out as resources/colours/xkcd-rgb.txt: one
    // "name<TAB>#rrggbb" a line; blank lines and lines that start with '#' are skipped.
    // None when a line has another form; `error` then says which.
    static std::optional<std::vector<NamedColour>> parseTable(std::string_view text,
                                                              std::string* error = nullptr);

    // Whether the standard namer keeps `name`: every word a colour word or a modifier,
    // at least one colour word, no word twice.
    static bool isEveryday(std::string_view name);

    // The process's namer, made on first use. Should its table not load (one log line),
    // it names nothing and describe() gives the hexadecimal value alone.
    static const ColourNamer& standard();

    explicit ColourNamer(std::vector<NamedColour> table);
    ~ColourNamer();
    ColourNamer(const ColourNamer&) = delete;
    ColourNamer& operator=(const ColourNamer&) = delete;

    std::size_t size() const { return table_.size(); }
    // The name of the table's colour nearest to `colour`; "" for an empty table.
    const std::string& nameOf(Rgb colour) const;
    // "dark red · #A51C24": the name and the colour's own value.
    std::string describe(Rgb colour) const;

private:
    class Lab;

    std::vector<NamedColour> table_;
    std::unique_ptr<const Lab> lab_;
};

}  // namespace talvex
