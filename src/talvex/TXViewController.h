#pragma once

// The panel's content view controller: its view is the live lens, and it answers the
// two stripe commands, Hold Picture and Find a Colour (and their check marks) while the
// panel is the active window. The panel's title says what the lens does: "Talvex
// (held)", "finding: teal · #008080", "Talvex: click the colour to find".
#include <QPointer>

#include "app/FilteredView.h"
#include "app/MenuItem.h"

namespace talvex {

class TXViewController {
public:
    explicit TXViewController(FilteredView* view);
    ~TXViewController();
    TXViewController(const TXViewController&) = delete;
    TXViewController& operator=(const TXViewController&) = delete;

    // The lens; none once the panel has closed.
    FilteredView* filteredView() const { return view_.data(); }

    void adoptTalvexSetting(const MenuItem& sender);
    void adoptGreenStripeSetting(const MenuItem& sender);
    // Holds the picture, or lets it go and captures afresh.
    void toggleHoldPicture();
    // Starts picking the colour to find with the next click on the picture, or ends
    // finding (or picking).
    void toggleFindColour();
    // Finds `colour` at once.
    void findColour(Rgb colour);
    bool validateMenuItem(MenuItem& item);

    // By the action's row: whether the controller answers it; performing it calls the
    // row's named action (false when the controller does not answer it).
    bool respondsTo(MenuAction action) const;
    bool perform(const MenuItem& sender);

private:
    QPointer<FilteredView> view_;
    QMetaObject::Connection foundColourShown_;

    void showTitle();
};

}  // namespace talvex
