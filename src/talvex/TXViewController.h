#pragma once

// The panel's content view controller: its view is the live lens, and it answers the
// two stripe commands and Hold Picture (and their check marks) while the panel is the
// active window. A held picture is named in the panel's title: "Talvex (held)".
#include <QPointer>

#include "app/FilteredView.h"
#include "app/MenuItem.h"

namespace talvex {

class TXViewController {
public:
    explicit TXViewController(FilteredView* view) : view_(view) {}

    // The lens; none once the panel has closed.
    FilteredView* filteredView() const { return view_.data(); }

    void adoptTalvexSetting(const MenuItem& sender);
    void adoptGreenStripeSetting(const MenuItem& sender);
    // Holds the picture, or lets it go and captures afresh.
    void toggleHoldPicture();
    bool validateMenuItem(MenuItem& item);

    // By the action's row: whether the controller answers it; performing it calls the
    // row's named action (false when the controller does not answer it).
    bool respondsTo(MenuAction action) const;
    bool perform(const MenuItem& sender);

private:
    QPointer<FilteredView> view_;
};

}  // namespace talvex
