// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the program's desktop icon, a white knight on four board squares, as antialiased
// vector shapes, and writes it as a square PNG of each requested size. The build runs it, so
// every size is drawn sharp instead of scaled from another.
//
// Usage: make_icon <folder> <size>... (writes <folder>/tavlora-<size>.png)
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

// The icon is designed on a 100 x 100 grid and scaled to each size.
constexpr double Grid = 100.0;
constexpr int SmallestSize = 16;
constexpr int LargestSize = 1024;

// The board's own square colours, so the icon looks like the program's board.
const QColor DarkSquare(96, 96, 96);
const QColor LightSquare(192, 192, 192);
const QColor Frame(40, 40, 40);
const QColor KnightFill(250, 248, 240);
const QColor KnightLine(20, 20, 20);

constexpr double TileRadius = 12.0;
constexpr double FrameWidth = 2.5;
constexpr double OutlineWidth = 4.5;
constexpr double DetailWidth = 2.8;

// A horse's head and neck in profile, facing left, standing on a low base.
QPainterPath KnightSilhouette() {
    QPainterPath head;
    head.moveTo(31, 80);
    head.cubicTo(32, 70, 39, 63, 48, 57);  // chest up to the throat
    head.cubicTo(42, 57, 35, 60, 29, 63);  // under the jaw
    head.cubicTo(23, 66, 16, 64, 15, 58);  // chin
    head.cubicTo(14, 53, 17, 49, 21, 45);  // muzzle
    head.cubicTo(28, 36, 33, 28, 40, 23);  // face up to the forehead
    head.lineTo(43, 10);                   // front of the ear
    head.cubicTo(48, 12, 52, 16, 54, 20);  // back of the ear
    head.cubicTo(70, 21, 83, 36, 84, 54);  // mane
    head.cubicTo(85, 66, 79, 74, 77, 80);  // back of the neck
    head.closeSubpath();
    QPainterPath base;
    base.addRoundedRect(QRectF(24, 78, 60, 11), 3, 3);
    return head.united(base);
}

// The eye and the nostril, filled.
QPainterPath KnightDots() {
    QPainterPath dots;
    dots.addEllipse(QPointF(39, 33), 2.4, 2.4);
    dots.addEllipse(QPointF(21, 53), 1.3, 1.3);
    return dots;
}

// The line of the mane and the top edge of the base, only stroked.
QPainterPath KnightLines() {
    QPainterPath lines;
    lines.moveTo(57, 24);
    lines.cubicTo(68, 31, 74, 42, 75, 55);
    lines.moveTo(28, 81.5);
    lines.lineTo(80, 81.5);
    return lines;
}

QPen Pen(const QColor& colour, double width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QImage RenderIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / Grid, size / Grid);

    // Two light and two dark squares, dark at the bottom left as on the board, inside a
    // rounded tile whose corners stay transparent.
    QPainterPath tile;
    const double inset = FrameWidth / 2;
    tile.addRoundedRect(QRectF(inset, inset, Grid - 2 * inset, Grid - 2 * inset), TileRadius,
                        TileRadius);
    painter.setClipPath(tile);
    const double half = Grid / 2;
    painter.fillRect(QRectF(0, 0, Grid, Grid), LightSquare);
    painter.fillRect(QRectF(0, half, half, half), DarkSquare);
    painter.fillRect(QRectF(half, 0, half, half), DarkSquare);
    painter.setClipping(false);
    painter.setPen(Pen(Frame, FrameWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tile);

    // The outline is drawn wide and the fill over it, so only its outer half shows.
    const QPainterPath knight = KnightSilhouette();
    painter.setPen(Pen(KnightLine, 2 * OutlineWidth));
    painter.drawPath(knight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(KnightFill);
    painter.drawPath(knight);
    painter.setBrush(KnightLine);
    painter.drawPath(KnightDots());
    painter.setPen(Pen(KnightLine, DetailWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(KnightLines());
    painter.end();
    return image;
}

}  // namespace

// Paints only shapes on QImages, so it needs no application object and no display.
int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_icon <folder> <size>...\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        bool isNumber = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&isNumber);
        if (!isNumber || size < SmallestSize || size > LargestSize) {
            std::fprintf(stderr, "make_icon: size '%s' is not a number from %d to %d\n", argv[i],
                         SmallestSize, LargestSize);
            return 2;
        }
        const QString path = QString("%1/tavlora-%2.png").arg(folder).arg(size);
        if (!RenderIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
