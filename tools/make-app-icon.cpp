// Draws resources/AppIcon.png: a magnifying lens whose glass shows red stripes on one
// diagonal and green stripes on the other, as the filter draws them.
//
// Build and run (from the repository root):
//   g++ -std=c++20 -fPIC tools/make-app-icon.cpp -o /tmp/make-app-icon \
//       $(pkg-config --cflags --libs Qt6Gui) && /tmp/make-app-icon resources/AppIcon.png
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kSize = 512;

// Parallel stripes of `color` over `area`, `width` apart, along the diagonal that
// rises to the right (rising) or falls to the right.
void drawStripes(QPainter& painter, const QRectF& area, const QColor& color, bool rising,
                 double width) {
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    painter.setPen(QPen(color, width / 3.5, Qt::SolidLine, Qt::FlatCap));
    const double extent = area.width() + area.height();
    for (double offset = -extent; offset < extent; offset += width) {
        const QPointF start(area.left() + offset, rising ? area.bottom() : area.top());
        const QPointF end(start.x() + extent,
                          rising ? area.bottom() - extent : area.top() + extent);
        painter.drawLine(start, end);
    }
    painter.restore();
}

void drawHandle(QPainter& painter, const QPointF& centre, double radius) {
    const double angle = M_PI / 4;
    const QPointF from = centre + QPointF(std::cos(angle), std::sin(angle)) * (radius + 10);
    const QPointF to = centre + QPointF(std::cos(angle), std::sin(angle)) * (radius + 170);
    painter.setPen(QPen(QColor(40, 40, 46), 58, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(from, to);
    painter.setPen(QPen(QColor(90, 90, 100), 30, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(from + QPointF(6, 6), to - QPointF(4, 4));
}

void drawGlass(QPainter& painter, const QPointF& centre, double radius) {
    QPainterPath glass;
    glass.addEllipse(centre, radius, radius);
    painter.save();
    painter.setClipPath(glass);
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    painter.fillRect(box, QColor(250, 250, 246));
    // Upper-left half red, lower-right half green, split along the falling diagonal.
    QPainterPath redHalf;
    redHalf.moveTo(box.topLeft());
    redHalf.lineTo(box.topRight());
    redHalf.lineTo(box.bottomLeft());
    redHalf.closeSubpath();
    painter.fillPath(redHalf, QColor(214, 48, 49));
    painter.setClipPath(redHalf, Qt::IntersectClip);
    drawStripes(painter, box, QColor(255, 255, 255, 230), true, 44);
    painter.restore();

    painter.save();
    painter.setClipPath(glass);
    QPainterPath greenHalf;
    greenHalf.moveTo(box.topRight());
    greenHalf.lineTo(box.bottomRight());
    greenHalf.lineTo(box.bottomLeft());
    greenHalf.closeSubpath();
    painter.fillPath(greenHalf, QColor(46, 160, 67));
    painter.setClipPath(greenHalf, Qt::IntersectClip);
    drawStripes(painter, box, QColor(20, 20, 20, 230), false, 44);
    painter.restore();

    // Highlight and rim.
    QRadialGradient shine(centre - QPointF(radius / 2.5, radius / 2.5), radius);
    shine.setColorAt(0, QColor(255, 255, 255, 90));
    shine.setColorAt(0.5, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.drawEllipse(centre, radius, radius);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(40, 40, 46), 26));
    painter.drawEllipse(centre, radius, radius);
    painter.setPen(QPen(QColor(150, 150, 160), 8));
    painter.drawEllipse(centre, radius - 2, radius - 2);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const char* output = argc > 1 ? argv[1] : "AppIcon.png";
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(205, 205);
    const double radius = 160;
    drawHandle(painter, centre, radius);
    drawGlass(painter, centre, radius);
    painter.end();
    if (!image.save(output)) {
        std::fprintf(stderr, "cannot write %s\n", output);
        return 1;
    }
    return 0;
}
