// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the twelve piece images (Bishop0.png .. Pawn1.png) as antialiased vector shapes and
// writes them as 50 x 50 PNGs with a transparent background. With --preview it also writes a
// magnified sheet of every piece on both square colours, for judging them by eye.
//
// Usage: make_pieces <folder> [--preview <file.png>]
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cstdio>
#include <vector>

namespace {

constexpr int ImageSize = 50;
// Shapes are designed on a 100 x 100 grid and scaled down to the image.
constexpr double GridScale = ImageSize / 100.0;
constexpr int PreviewZoom = 4;

struct Style {
    QColor Fill;
    QColor Outline;  // the silhouette's outer edge
    QColor Seam;     // the edge of each part inside it: plinth steps, collars, crown balls
    QColor Detail;   // inner lines: the bishop's slit, the knight's eye and mane, bands
};

// Black's grey seams and light details keep the dark pieces readable on the dark square.
const Style WhiteStyle{QColor(250, 248, 240), QColor(20, 20, 20), QColor(20, 20, 20),
                       QColor(20, 20, 20)};
const Style BlackStyle{QColor(38, 38, 38), QColor(0, 0, 0), QColor(125, 125, 125),
                       QColor(215, 215, 215)};

// The outline is drawn wide and the fill over it, so the outline only shows outside.
constexpr double OutlineWidth = 5.0;
constexpr double DetailWidth = 2.6;

// A piece is a list of filled parts drawn from back to front, plus detail lines.
struct Shape {
    std::vector<QPainterPath> Parts;
    QPainterPath Details;
};

QPainterPath Ellipse(double cx, double cy, double rx, double ry) {
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), rx, ry);
    return path;
}

QPainterPath RoundedBox(double left, double top, double right, double bottom, double radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(left, top, right - left, bottom - top), radius, radius);
    return path;
}

// The two-step plinth every piece stands on.
QPainterPath Plinth(double halfWidth) {
    QPainterPath path = RoundedBox(50 - halfWidth, 83, 50 + halfWidth, 93, 3);
    path = path.united(RoundedBox(50 - halfWidth + 5, 76, 50 + halfWidth - 5, 85, 3));
    return path;
}

QPainterPath PlinthLine(double halfWidth) {
    QPainterPath path;
    path.moveTo(50 - halfWidth + 3, 84);
    path.lineTo(50 + halfWidth - 3, 84);
    return path;
}

// A body that narrows from the plinth to a waist and widens again to a top, symmetric.
QPainterPath Waisted(double bottomY, double bottomHalf, double waistY, double waistHalf,
                     double topY, double topHalf) {
    QPainterPath path;
    path.moveTo(50 - bottomHalf, bottomY);
    path.cubicTo(50 - waistHalf, bottomY - 6, 50 - waistHalf, waistY, 50 - waistHalf, waistY);
    path.cubicTo(50 - waistHalf, waistY - 6, 50 - topHalf, topY + 4, 50 - topHalf, topY);
    path.lineTo(50 + topHalf, topY);
    path.cubicTo(50 + topHalf, topY + 4, 50 + waistHalf, waistY - 6, 50 + waistHalf, waistY);
    path.cubicTo(50 + waistHalf, waistY, 50 + waistHalf, bottomY - 6, 50 + bottomHalf, bottomY);
    path.closeSubpath();
    return path;
}

Shape Pawn() {
    Shape shape;
    shape.Parts.push_back(Plinth(26));
    QPainterPath body;
    body.moveTo(28, 78);
    body.cubicTo(31, 66, 40, 60, 42, 50);
    body.lineTo(58, 50);
    body.cubicTo(60, 60, 69, 66, 72, 78);
    body.closeSubpath();
    shape.Parts.push_back(body);
    shape.Parts.push_back(Ellipse(50, 50, 15, 4.5));
    shape.Parts.push_back(Ellipse(50, 33, 13, 13));
    shape.Details.addPath(PlinthLine(26));
    return shape;
}

Shape Rook() {
    Shape shape;
    shape.Parts.push_back(Plinth(31));
    QPainterPath tower;
    tower.moveTo(27, 78);
    tower.lineTo(31, 36);
    tower.lineTo(69, 36);
    tower.lineTo(73, 78);
    tower.closeSubpath();
    shape.Parts.push_back(tower);
    // The battlements: a parapet with three merlons cut by two crenels.
    QPainterPath top;
    top.moveTo(24, 40);
    top.lineTo(24, 14);
    top.lineTo(35, 14);
    top.lineTo(35, 21);
    top.lineTo(44, 21);
    top.lineTo(44, 14);
    top.lineTo(56, 14);
    top.lineTo(56, 21);
    top.lineTo(65, 21);
    top.lineTo(65, 14);
    top.lineTo(76, 14);
    top.lineTo(76, 40);
    top.closeSubpath();
    shape.Parts.push_back(top);
    shape.Parts.push_back(RoundedBox(26, 68, 74, 77, 2));
    shape.Details.moveTo(26, 31);
    shape.Details.lineTo(74, 31);
    shape.Details.moveTo(29, 41);
    shape.Details.lineTo(71, 41);
    shape.Details.addPath(PlinthLine(31));
    return shape;
}

Shape Bishop() {
    Shape shape;
    shape.Parts.push_back(Plinth(28));
    shape.Parts.push_back(Waisted(77, 21, 66, 10, 60, 14));
    // The mitre: a pointed egg with a small ball on its tip.
    QPainterPath mitre;
    mitre.moveTo(50, 17);
    mitre.cubicTo(60, 24, 70, 34, 68, 46);
    mitre.cubicTo(67, 54, 60, 60, 50, 60);
    mitre.cubicTo(40, 60, 33, 54, 32, 46);
    mitre.cubicTo(30, 34, 40, 24, 50, 17);
    mitre.closeSubpath();
    shape.Parts.push_back(mitre);
    shape.Parts.push_back(Ellipse(50, 13, 5.5, 5.5));
    shape.Parts.push_back(RoundedBox(33, 59, 67, 66, 3));
    shape.Details.moveTo(58, 30);
    shape.Details.lineTo(48, 44);
    shape.Details.addPath(PlinthLine(28));
    return shape;
}

Shape Queen() {
    Shape shape;
    shape.Parts.push_back(Plinth(30));
    // The crown's five points rise from a band and end in balls; the middle one is highest.
    const std::array<QPointF, 5> points = {QPointF(17, 27), QPointF(32, 20), QPointF(50, 16),
                                           QPointF(68, 20), QPointF(83, 27)};
    QPainterPath crown;
    crown.moveTo(29, 77);
    crown.cubicTo(31, 68, 27, 58, points[0].x(), points[0].y());
    crown.lineTo(36, 48);
    crown.lineTo(points[1]);
    crown.lineTo(44, 46);
    crown.lineTo(points[2]);
    crown.lineTo(56, 46);
    crown.lineTo(points[3]);
    crown.lineTo(64, 48);
    crown.lineTo(points[4]);
    crown.cubicTo(73, 58, 69, 68, 71, 77);
    crown.closeSubpath();
    shape.Parts.push_back(crown);
    for (const QPointF& point : points) {
        shape.Parts.push_back(Ellipse(point.x(), point.y(), 5, 5));
    }
    shape.Details.moveTo(30, 66);
    shape.Details.cubicTo(40, 62, 60, 62, 70, 66);
    shape.Details.addPath(PlinthLine(30));
    return shape;
}

Shape King() {
    Shape shape;
    shape.Parts.push_back(Plinth(30));
    // A cup-shaped crown with two rounded lobes, and a cross standing on it.
    QPainterPath crown;
    crown.moveTo(29, 77);
    crown.cubicTo(30, 68, 22, 58, 19, 48);
    crown.cubicTo(15, 36, 26, 26, 36, 30);
    crown.cubicTo(43, 33, 48, 38, 50, 42);
    crown.cubicTo(52, 38, 57, 33, 64, 30);
    crown.cubicTo(74, 26, 85, 36, 81, 48);
    crown.cubicTo(78, 58, 70, 68, 71, 77);
    crown.closeSubpath();
    shape.Parts.push_back(crown);
    QPainterPath cross;
    cross.addRect(46, 5, 8, 33);
    cross.addRect(39, 12, 22, 7.5);
    shape.Parts.push_back(cross.simplified());
    shape.Details.moveTo(30, 66);
    shape.Details.cubicTo(40, 62, 60, 62, 70, 66);
    shape.Details.moveTo(50, 44);
    shape.Details.lineTo(50, 62);
    shape.Details.addPath(PlinthLine(30));
    return shape;
}

Shape Knight() {
    Shape shape;
    shape.Parts.push_back(Plinth(30));
    // A horse's head and neck in profile, facing left.
    QPainterPath head;
    head.moveTo(28, 77);
    head.cubicTo(30, 68, 38, 62, 44, 56);  // chest up to the throat
    head.cubicTo(40, 56, 34, 59, 28, 62);  // under the jaw
    head.cubicTo(23, 64, 17, 62, 16, 57);  // chin
    head.cubicTo(15, 53, 17, 49, 21, 45);  // muzzle
    head.cubicTo(28, 36, 34, 27, 40, 22);  // face up to the forehead
    head.lineTo(43, 11);                   // front of the ear
    head.cubicTo(47, 13, 50, 16, 52, 19);  // back of the ear
    head.cubicTo(66, 20, 78, 33, 80, 50);  // mane
    head.cubicTo(82, 62, 76, 70, 74, 77);  // back of the neck
    head.closeSubpath();
    shape.Parts.push_back(head);
    shape.Details.addEllipse(QPointF(40, 32), 2.2, 2.2);
    shape.Details.addEllipse(QPointF(21, 53), 1.2, 1.2);
    shape.Details.moveTo(55, 24);
    shape.Details.cubicTo(65, 30, 71, 40, 72, 52);
    shape.Details.addPath(PlinthLine(30));
    return shape;
}

QPen Pen(const QColor& colour, double width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void DrawShape(QPainter& painter, const Shape& shape, const Style& style) {
    QPainterPath silhouette;
    for (const QPainterPath& part : shape.Parts) {
        silhouette = silhouette.united(part);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Pen(style.Outline, OutlineWidth));
    painter.drawPath(silhouette);
    // Each part is edged thinly in front of the ones behind it, so the plinth steps,
    // collars and crown balls read as separate pieces of the carving.
    painter.setBrush(style.Fill);
    painter.setPen(Pen(style.Seam, DetailWidth));
    for (const QPainterPath& part : shape.Parts) {
        painter.drawPath(part);
    }
    // The seams stop at the silhouette, whose edge stays in the outline colour.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Pen(style.Outline, DetailWidth));
    painter.drawPath(silhouette);
    painter.setPen(Pen(style.Detail, DetailWidth));
    painter.drawPath(shape.Details);
}

QImage RenderPiece(const Shape& shape, const Style& style) {
    QImage image(ImageSize, ImageSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(GridScale, GridScale);
    DrawShape(painter, shape, style);
    return image;
}

struct PieceKind {
    const char* BaseName;
    Shape (*Make)();
};

// In the order of the piece type codes 1 to 6.
const std::array<PieceKind, 6> Kinds = {{{"Bishop", Bishop},
                                         {"Knight", Knight},
                                         {"Rook", Rook},
                                         {"Queen", Queen},
                                         {"King", King},
                                         {"Pawn", Pawn}}};

// Every piece on a dark and a light square, White's above Black's, magnified without
// smoothing so that single pixels can be judged.
QImage RenderPreview(const std::array<QImage, 12>& images) {
    const QColor dark(96, 96, 96);
    const QColor light(192, 192, 192);
    QImage sheet(ImageSize * 12, ImageSize * 2, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    for (int colour = 0; colour < 2; ++colour) {
        for (int column = 0; column < 12; ++column) {
            const QRect square(column * ImageSize, colour * ImageSize, ImageSize, ImageSize);
            painter.fillRect(square, (column + colour) % 2 == 0 ? dark : light);
            painter.drawImage(square.topLeft(), images[colour * 6 + column / 2]);
        }
    }
    painter.end();
    return sheet.scaled(sheet.size() * PreviewZoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace

// Paints only shapes on QImages, so it needs no application object and no display.
int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const bool withPreview = arguments.size() == 4 && arguments[2] == "--preview";
    if (arguments.size() != 2 && !withPreview) {
        std::fprintf(stderr, "usage: make_pieces <folder> [--preview <file.png>]\n");
        return 2;
    }
    const QString folder = arguments[1];
    std::array<QImage, 12> images;
    for (int colour = 0; colour < 2; ++colour) {
        for (size_t kind = 0; kind < Kinds.size(); ++kind) {
            QImage image = RenderPiece(Kinds[kind].Make(), colour == 0 ? WhiteStyle : BlackStyle);
            const QString path =
                QString("%1/%2%3.png").arg(folder, Kinds[kind].BaseName).arg(colour);
            if (!image.save(path, "PNG")) {
                std::fprintf(stderr, "make_pieces: cannot write %s\n", qPrintable(path));
                return 1;
            }
            images[colour * 6 + kind] = std::move(image);
        }
    }
    if (withPreview && !RenderPreview(images).save(arguments[3], "PNG")) {
        std::fprintf(stderr, "make_pieces: cannot write %s\n", qPrintable(arguments[3]));
        return 1;
    }
    return 0;
}
