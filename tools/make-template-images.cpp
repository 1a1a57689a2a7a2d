// Draws the title-bar template images (black on transparent, 18x18 points, with
// @2x variants) into the folder given as the only argument. Run once by hand when a
// picture changes; the PNGs are committed.
//   g++ -std=c++20 -fPIC make-template-images.cpp $(pkg-config --cflags --libs Qt6Gui) -o
//   /tmp/make-template-images /tmp/make-template-images ../resources/images   (from tools/)
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

constexpr int pointSize = 18;
using Picture = std::function<void(QPainter&)>;

QPen strokePen(qreal width = 1.5) {
    return QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Diagonal stripes (the filter's own pattern) clipped to `area`.
void stripes(QPainter& p, const QPainterPath& area, qreal spacing, qreal width) {
    p.save();
    p.setClipPath(area, Qt::IntersectClip);
    p.setPen(QPen(Qt::black, width));
    for (qreal x = -pointSize; x < 2 * pointSize; x += spacing) {
        p.drawLine(QPointF(x, pointSize), QPointF(x + pointSize, 0));
    }
    p.restore();
}

// A speedometer whose needle points left (slow), up (normal) or right (fast).
Picture gauge(qreal needleDegrees) {
    return [needleDegrees](QPainter& p) {
        const QPointF centre(9, 12);
        const QRectF dial(2, 5, 14, 14);
        p.setPen(strokePen());
        p.drawArc(dial, 0, 180 * 16);
        for (qreal deg : {0.0, 45.0, 90.0, 135.0, 180.0}) {
            const qreal a = qDegreesToRadians(deg);
            const QPointF dir(qCos(a), -qSin(a));
            p.drawLine(centre + dir * 5.5, centre + dir * 7);
        }
        const qreal a = qDegreesToRadians(needleDegrees);
        p.setPen(strokePen(2));
        p.drawLine(centre, centre + QPointF(qCos(a), -qSin(a)) * 5);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(centre, 1.6, 1.6);
    };
}

QPainterPath arrowPointer(QPointF tip, qreal scale) {
    QPainterPath arrow;
    const QPointF pts[] = {{0, 0},     {0, 9},     {2.2, 7},  {3.8, 10.5},
                           {5.2, 9.9}, {3.6, 6.4}, {6.4, 6.4}};
    arrow.moveTo(tip + pts[0] * scale);
    for (const QPointF& pt : pts)
        arrow.lineTo(tip + pt * scale);
    arrow.closeSubpath();
    return arrow;
}

// A striped square around a mouse pointer: only the area near the pointer is filtered.
void mouseArea(QPainter& p) {
    QPainterPath square;
    square.addRect(QRectF(1.5, 1.5, 15, 15));
    QPainterPath arrow = arrowPointer(QPointF(7.5, 5.5), 0.95);
    stripes(p, square.subtracted(arrow.translated(0, 0)), 3.2, 1.0);
    p.setPen(QPen(Qt::black, 1.2, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, 15, 15));
    // The pointer in solid black with a clear rim so it stands out of the stripes.
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setPen(QPen(Qt::black, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(arrow);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPath(arrow);
}

// A whole panel with a title bar, its body striped and see-through.
void transparency(QPainter& p) {
    const QRectF panel(1.5, 2.5, 15, 13);
    p.setPen(strokePen(1.3));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(panel, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(1.5, 2.5, 15, 3));
    QPainterPath body;
    body.addRect(QRectF(2.5, 5.5, 13, 9));
    p.setOpacity(0.6);
    stripes(p, body, 3.2, 1.0);
}

// The stripes button: an eye whose iris carries the two stripe directions.
void vision(QPainter& p) {
    QPainterPath eye;
    eye.moveTo(1, 9);
    eye.quadTo(9, 0, 17, 9);
    eye.quadTo(9, 18, 1, 9);
    p.setPen(strokePen(1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(eye);
    QPainterPath iris;
    iris.addEllipse(QPointF(9, 9), 4.2, 4.2);
    stripes(p, iris, 2.6, 1.0);
    p.save();
    p.translate(18, 0);
    p.scale(-1, 1);
    stripes(p, iris, 2.6, 1.0);
    p.restore();
    p.drawEllipse(QPointF(9, 9), 4.2, 4.2);
}

bool save(const QString& folder, const QString& name, const Picture& draw) {
    for (int scale : {1, 2}) {
        QImage image(pointSize * scale, pointSize * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        draw(painter);
        painter.end();
        const QString file = folder + '/' + name + (scale == 2 ? "@2x" : "") + ".png";
        if (!image.save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <images folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool ok = save(folder, "SlowFrameRateTemplate", gauge(160)) &&
                    save(folder, "NormalFrameRateTemplate", gauge(90)) &&
                    save(folder, "FastFrameRateTemplate", gauge(20)) &&
                    save(folder, "FilteredMouseAreaTemplate", mouseArea) &&
                    save(folder, "FilteredTransparencyTemplate", transparency) &&
                    save(folder, "VisionTemplate", vision);
    return ok ? 0 : 1;
}
