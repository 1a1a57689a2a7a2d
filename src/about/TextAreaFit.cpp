#include "about/TextAreaFit.h"

namespace talvex::about_internal {

TextAreaFit TextAreaFit::compute(const Rect& scroll, const Rect& content, const Size& inset) {
    const double dx = content.width() - scroll.maxX();
    // y grows downwards: the gap above the scroll area is its top less the content's.
    const double dy = scroll.minY() - content.minY();
    TextAreaFit fit;
    fit.scrollFrame = Rect(scroll.x() - dx, content.y(), scroll.width() + 2 * dx, content.height());
    fit.textInset = Size{inset.width + dx, inset.height + dy};
    return fit;
}

}  // namespace talvex::about_internal
