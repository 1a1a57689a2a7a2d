#pragma once

// The panel's content view controller: its view is the live lens, and it answers the
// two stripe switches, Hold Picture and Find a Colour (see ActionTable) while the
// panel exists. The panel's title says what the lens does: "Talvex (held)",
// "finding: teal · #008080", "Talvex: click the colour to find".
#include <QPointer>

#include "app/FilteredView.h"

namespace talvex {

class TXViewController {
public:
    explicit TXViewController(FilteredView* view);
    ~TXViewController();
    TXViewController(const TXViewController&) = delete;
    TXViewController& operator=(const TXViewController&) = delete;

    // The lens; none once the panel has closed.
    FilteredView* filteredView() const { return view_.data(); }

    // Holds the picture, or lets it go and captures afresh.
    void toggleHoldPicture();
    // Starts picking the colour to find with the next click on the picture, or ends
    // finding (or picking).
    void toggleFindColour();
    // Finds `colour` at once.
    void findColour(Rgb colour);

private:
    QPointer<FilteredView> view_;
    QMetaObject::Connection foundColourShown_;

    void showTitle();
};

}  // namespace talvex
