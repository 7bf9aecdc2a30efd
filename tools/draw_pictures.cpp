// Draws the window's pictures: the schematic, the application icon and the exit glyph.
//
// Everything is drawn without anti-aliasing and with a built-in pixel font, so the output is
// the same on every machine whatever fonts it has, and the schematic holds only its exact
// background colour where the window is meant to show through. Run it after changing a
// drawing; it writes into the folder given as its one argument (res/), or, with --check,
// compares what it draws with the pictures there pixel by pixel and fails on any difference:
//   schematic.bmp      223 × 265, 24-bit, background RGB 255,255,232
//   velmor.png         32 × 32, 16-colour palette, the application icon
//   exit.png           18 × 18, an open door under a green exit sign
//   exit-disabled.png  18 × 18, the same in greys for a disabled button
//   icons/velmor.svg   the icon's design, scalable, for the desktop's icon theme
//   icons/velmor-N.png the same design at N × N (16, 24, 48, 64, 128, 256), smoothed
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace {

// --- A 5 × 7 pixel font with just the characters the schematic's labels use ---------------

struct Glyph {
    char ch;
    std::array<std::string_view, 7> rows;
};

constexpr std::array kFont{
    Glyph{'V', {"1...1", "1...1", "1...1", "1...1", "1...1", ".1.1.", "..1.."}},
    Glyph{'C', {".111.", "1...1", "1....", "1....", "1....", "1...1", ".111."}},
    Glyph{'R', {"1111.", "1...1", "1...1", "1111.", "1.1..", "1..1.", "1...1"}},
    Glyph{'E', {"11111", "1....", "1....", "1111.", "1....", "1....", "11111"}},
    Glyph{'S', {".1111", "1....", "1....", ".111.", "....1", "....1", "1111."}},
    Glyph{'L', {"1....", "1....", "1....", "1....", "1....", "1....", "11111"}},
    Glyph{'T', {"11111", "..1..", "..1..", "..1..", "..1..", "..1..", "..1.."}},
    Glyph{'O', {".111.", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."}},
    Glyph{'Q', {".111.", "1...1", "1...1", "1...1", "1.1.1", "1..1.", ".11.1"}},
    Glyph{'N', {"1...1", "11..1", "1.1.1", "1.1.1", "1..11", "1...1", "1...1"}},
    Glyph{'P', {"1111.", "1...1", "1...1", "1111.", "1....", "1....", "1...."}},
    Glyph{'U', {"1...1", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."}},
    Glyph{'i', {"..1..", ".....", ".11..", "..1..", "..1..", "..1..", ".111."}},
    Glyph{'o', {".....", ".....", ".111.", "1...1", "1...1", "1...1", ".111."}},
    Glyph{'1', {"..1..", ".11..", "..1..", "..1..", "..1..", "..1..", ".111."}},
    Glyph{'2', {".111.", "1...1", "....1", "...1.", "..1..", ".1...", "11111"}},
    Glyph{'3', {"11111", "...1.", "..1..", "...1.", "....1", "1...1", ".111."}},
    Glyph{'4', {"...1.", "..11.", ".1.1.", "1..1.", "11111", "...1.", "...1."}},
    Glyph{'+', {".....", "..1..", "..1..", "11111", "..1..", "..1..", "....."}},
};

// Writes text with its top-left corner at (x, y), 6 pixels a character.
void DrawText(QImage& image, int x, int y, std::string_view text, QColor colour) {
    for (char ch : text) {
        for (const Glyph& glyph : kFont) {
            if (glyph.ch != ch) continue;
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (glyph.rows[row][col] == '1') image.setPixelColor(x + col, y + row, colour);
        }
        x += 6;
    }
}

// --- The schematic -------------------------------------------------------------------------

const QColor kPaper(255, 255, 232);  // shown transparent by the window
const QColor kWire(0, 0, 255);
const QColor kInk(0, 0, 128);

void Resistor(QPainter& p, int x, int top, int bottom) {
    p.drawRect(x - 5, top, 10, bottom - top);
}

void Dot(QPainter& p, int x, int y) {
    p.save();
    p.setBrush(kWire);
    p.drawRect(x - 2, y - 2, 4, 4);
    p.restore();
}

QImage DrawSchematic() {
    QImage image(223, 265, QImage::Format_RGB32);
    image.fill(kPaper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kWire, 1));
    p.setBrush(Qt::NoBrush);

    const int rail = 24, ground = 236;
    const int baseX = 56, baseY = 120;
    const int collX = 116, collY = 90, emitY = 160;
    const int c2X = 150, outX = 214, groundX = 200;

    // Supply rail with its terminal, and the ground rail.
    p.drawLine(baseX, rail, 196, rail);
    p.drawEllipse(196, rail - 3, 6, 6);
    p.drawLine(baseX, ground, groundX, ground);

    // R1 (rail to base) and R3 (base to ground).
    p.drawLine(baseX, rail, baseX, 50);
    Resistor(p, baseX, 50, 86);
    p.drawLine(baseX, 86, baseX, 150);
    Resistor(p, baseX, 150, 186);
    p.drawLine(baseX, 186, baseX, ground);

    // Input arrow and C1 (polarised, "+" towards the input) to the base node.
    p.drawLine(2, baseY, 14, baseY);
    p.drawLine(10, baseY - 3, 14, baseY);
    p.drawLine(10, baseY + 3, 14, baseY);
    p.drawLine(14, baseY, 26, baseY);
    p.drawLine(26, baseY - 8, 26, baseY + 8);
    p.drawRect(30, baseY - 8, 3, 16);
    p.drawLine(33, baseY, 96, baseY);

    // Q1: base bar, collector and emitter with the emitter's arrow pointing out.
    p.setBrush(kWire);
    p.drawRect(96, baseY - 14, 2, 28);
    p.setBrush(Qt::NoBrush);
    p.drawLine(98, baseY - 7, collX, baseY - 20);
    p.drawLine(collX, baseY - 20, collX, collY);
    p.drawLine(98, baseY + 7, collX, baseY + 20);
    p.setBrush(kWire);
    p.drawPolygon(QPolygon(
        {QPoint(collX, baseY + 20), QPoint(collX - 8, baseY + 18), QPoint(collX - 4, baseY + 13)}));
    p.setBrush(Qt::NoBrush);
    p.drawLine(collX, baseY + 20, collX, emitY);

    // R2 (rail to collector), R4 (emitter to ground), C2 beside R4.
    p.drawLine(collX, rail, collX, 40);
    Resistor(p, collX, 40, 76);
    p.drawLine(collX, 76, collX, collY);
    p.drawLine(collX, emitY, collX, 176);
    Resistor(p, collX, 176, 212);
    p.drawLine(collX, 212, collX, ground);
    p.drawLine(collX, emitY, c2X, emitY);
    p.drawLine(c2X, emitY, c2X, 190);
    p.drawLine(c2X - 8, 190, c2X + 8, 190);
    p.drawRect(c2X - 8, 194, 16, 3);
    p.drawLine(c2X, 197, c2X, ground);

    // The thick output line from the collector to the right edge and down to its terminal.
    p.setPen(QPen(kWire, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPolyline(QPolygon({QPoint(collX, collY), QPoint(outX, collY), QPoint(outX, 198)}));
    p.setPen(QPen(kWire, 1));
    p.drawEllipse(outX - 3, 199, 6, 6);

    // Ground symbol at the bottom right.
    p.drawLine(groundX, ground, groundX, 244);
    p.drawLine(groundX - 10, 244, groundX + 10, 244);
    p.drawLine(groundX - 6, 248, groundX + 6, 248);
    p.drawLine(groundX - 2, 252, groundX + 2, 252);

    for (QPoint node : {QPoint(baseX, baseY), QPoint(collX, collY), QPoint(collX, emitY),
                        QPoint(collX, rail), QPoint(collX, ground), QPoint(c2X, ground)})
        Dot(p, node.x(), node.y());
    p.end();

    DrawText(image, 184, 8, "VCC", kInk);
    DrawText(image, 30, 58, "R1", kInk);
    DrawText(image, 24, 68, "RES2", kInk);
    DrawText(image, 30, 158, "R3", kInk);
    DrawText(image, 24, 168, "RES2", kInk);
    DrawText(image, 124, 48, "R2", kInk);
    DrawText(image, 124, 58, "RES2", kInk);
    DrawText(image, 90, 184, "R4", kInk);
    DrawText(image, 84, 194, "RES2", kInk);
    DrawText(image, 22, 84, "C1", kInk);
    DrawText(image, 4, 93, "ELECTRO1", kInk);
    DrawText(image, 17, 106, "+", kInk);
    DrawText(image, 160, 182, "C2", kInk);
    DrawText(image, 158, 214, "ELECTRO1", kInk);
    DrawText(image, 140, 182, "+", kInk);
    DrawText(image, 124, 118, "Q1", kInk);
    DrawText(image, 124, 128, "NPN", kInk);
    DrawText(image, 2, 126, "Ui", kInk);
    DrawText(image, 196, 199, "Uo", kInk);
    return image.convertToFormat(QImage::Format_RGB888);
}

// --- Pixel-art pictures with a palette -------------------------------------------------------

// The sixteen standard colours of a 16-colour display.
const std::array<QRgb, 16> kStandardColours{
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

struct Ink {
    char key;
    QRgb colour;  // alpha 0 = transparent
};

QImage FromRows(const std::vector<std::string_view>& rows, const std::vector<Ink>& inks) {
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(rows.front().size());
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (const Ink& ink : inks)
                if (rows[y][x] == ink.key) image.setPixel(x, y, ink.colour);
    return image;
}

// The application icon: an NPN transistor in its round case, on a chip of graph paper.
QImage DrawIcon() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(kStandardColours[0]));
    p.setBrush(QColor(kStandardColours[11]));
    p.drawRect(1, 1, 29, 29);
    p.setPen(QColor(kStandardColours[7]));
    for (int i = 6; i < 30; i += 6) {
        p.drawLine(2, i, 29, i);
        p.drawLine(i, 2, i, 29);
    }
    p.setPen(QPen(QColor(kStandardColours[4]), 2));
    p.setBrush(QColor(kStandardColours[15]));
    p.drawEllipse(6, 6, 20, 20);
    p.setPen(QPen(QColor(kStandardColours[4]), 1));
    p.drawLine(2, 16, 12, 16);
    p.setBrush(QColor(kStandardColours[4]));
    p.drawRect(12, 10, 1, 12);
    p.drawLine(13, 13, 20, 7);
    p.drawLine(20, 7, 20, 2);
    p.drawLine(13, 19, 20, 25);
    p.drawLine(20, 25, 20, 29);
    p.setPen(QColor(kStandardColours[9]));
    p.setBrush(QColor(kStandardColours[9]));
    p.drawPolygon(QPolygon({QPoint(20, 25), QPoint(15, 24), QPoint(18, 21)}));
    p.end();
    return image;
}

// The exit glyph: an open door (the leaf swung in on its left hinge, with its knob) under a
// green exit sign with an arrow.
const std::vector<std::string_view> kExitRows{
    "...GGGGGGGGGGGG...",  //
    "...GGGGGGGWGGGG...",  //
    "...GGGGGGGWWGGG...",  //
    "...GGWWWWWWWWWG...",  //
    "...GGGGGGGWWGGG...",  //
    "...GGGGGGGWGGGG...",  //
    "...GGGGGGGGGGGG...",  //
    "...KKKKKKKKKKKK...",  //
    "...KOOYYYYYYYYK...",  //
    "...KOOOOYYYYYYK...",  //
    "...KOOOOYYYYYYK...",  //
    "...KOOOOYYYYYYK...",  //
    "...KOOYOYYYYYYK...",  //
    "...KOOOOYYYYYYK...",  //
    "...KOOOOYYYYYYK...",  //
    "...KOOOOYYYYYYK...",  //
    "...KOOYYYYYYYYK...",  //
    "..KKKKKKKKKKKKKK..",  //
};

QImage DrawExitGlyph() {
    return FromRows(kExitRows, {{'.', qRgba(0, 0, 0, 0)},
                                {'G', kStandardColours[2]},
                                {'W', kStandardColours[15]},
                                {'K', kStandardColours[0]},
                                {'O', kStandardColours[1]},
                                {'Y', kStandardColours[11]}});
}

// The disabled look: the dark parts in grey, the light parts in silver.
QImage DrawExitGlyphDisabled() {
    return FromRows(kExitRows, {{'.', qRgba(0, 0, 0, 0)},
                                {'G', kStandardColours[8]},
                                {'W', kStandardColours[7]},
                                {'K', kStandardColours[8]},
                                {'O', kStandardColours[8]},
                                {'Y', kStandardColours[7]}});
}

// --- The icon's design for every size ------------------------------------------------------

// A shape of the 32 × 32 icon in its own units (pixel edges): a rectangle, a disc or a convex
// polygon, filled with one colour; later shapes cover earlier ones.
struct Shape {
    enum Kind { kRect, kDisc, kPolygon } kind;
    std::vector<QPointF> points;  // rect: two corners; disc: centre and (radius, 0); polygon
    QRgb colour;
};

Shape Rect(double x0, double y0, double x1, double y1, int colour) {
    return {Shape::kRect, {{x0, y0}, {x1, y1}}, kStandardColours[colour]};
}
Shape Disc(double radius, int colour) {
    return {Shape::kDisc, {{16, 16}, {radius, 0}}, kStandardColours[colour]};
}
// A line one unit wide between two pixel centres.
Shape Stroke(QPointF from, QPointF to) {
    const QPointF along = to - from;
    const double length = std::hypot(along.x(), along.y());
    const QPointF side(-along.y() / length / 2, along.x() / length / 2);
    return {Shape::kPolygon, {from + side, to + side, to - side, from - side}, kStandardColours[4]};
}

// The drawing DrawIcon makes pixel by pixel: graph paper, the transistor's case, its leads and
// the emitter's arrow.
std::vector<Shape> IconDesign() {
    std::vector<Shape> shapes{Rect(1, 1, 31, 31, 0), Rect(2, 2, 30, 30, 11)};
    for (int i = 6; i < 30; i += 6) {
        shapes.push_back(Rect(2, i, 30, i + 1, 7));
        shapes.push_back(Rect(i, 2, i + 1, 30, 7));
    }
    for (Shape shape : {Disc(11, 4), Disc(9, 15), Rect(2, 16, 13, 17, 4), Rect(12, 10, 14, 23, 4),
                        Stroke({13.5, 13.5}, {20.5, 7.5}), Rect(20, 2, 21, 8, 4),
                        Stroke({13.5, 19.5}, {20.5, 25.5}), Rect(20, 25, 21, 30, 4)})
        shapes.push_back(shape);
    shapes.push_back(
        {Shape::kPolygon, {{20.5, 25.5}, {15.5, 24.5}, {18.5, 21.5}}, kStandardColours[9]});
    return shapes;
}

bool Covers(const Shape& shape, QPointF at) {
    const std::vector<QPointF>& p = shape.points;
    switch (shape.kind) {
        case Shape::kRect:
            return at.x() >= p[0].x() && at.x() < p[1].x() && at.y() >= p[0].y() &&
                   at.y() < p[1].y();
        case Shape::kDisc: {
            const QPointF d = at - p[0];
            return QPointF::dotProduct(d, d) <= p[1].x() * p[1].x();
        }
        case Shape::kPolygon:
            break;
    }
    // Inside a convex polygon: on the same side of every edge.
    int sides = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const QPointF edge = p[(i + 1) % p.size()] - p[i], to = at - p[i];
        sides += edge.x() * to.y() - edge.y() * to.x() >= 0 ? 1 : -1;
    }
    return std::abs(sides) == static_cast<int>(p.size());
}

// The design at SIZE × SIZE: each pixel the average of 8 × 8 samples, transparent where no
// shape lies. Plain arithmetic, so the pixels are the same with every Qt.
QImage DrawIconAt(int size) {
    constexpr int kSamples = 8;
    const std::vector<Shape> shapes = IconDesign();
    QImage image(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int covered = 0, red = 0, green = 0, blue = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const QPointF at((x + (sx + 0.5) / kSamples) * 32 / size,
                                     (y + (sy + 0.5) / kSamples) * 32 / size);
                    const auto top = std::find_if(shapes.rbegin(), shapes.rend(),
                                                  [&](const Shape& s) { return Covers(s, at); });
                    if (top == shapes.rend()) continue;
                    ++covered, red += qRed(top->colour), green += qGreen(top->colour),
                        blue += qBlue(top->colour);
                }
            const int c = std::max(covered, 1), half = c / 2;
            image.setPixel(
                x, y,
                qRgba((red + half) / c, (green + half) / c, (blue + half) / c,
                      (covered * 255 + kSamples * kSamples / 2) / (kSamples * kSamples)));
        }
    return image;
}

// The design as SVG, shape for shape.
QByteArray IconSvg() {
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" "
        "viewBox=\"0 0 32 32\">\n";
    const auto number = [](double v) { return QByteArray::number(v, 'g', 6).toStdString(); };
    for (const Shape& shape : IconDesign()) {
        const std::vector<QPointF>& p = shape.points;
        const std::string fill = QColor(shape.colour).name().toStdString();
        if (shape.kind == Shape::kRect)
            svg += "  <rect x=\"" + number(p[0].x()) + "\" y=\"" + number(p[0].y()) +
                   "\" width=\"" + number(p[1].x() - p[0].x()) + "\" height=\"" +
                   number(p[1].y() - p[0].y()) + "\" fill=\"" + fill + "\"/>\n";
        else if (shape.kind == Shape::kDisc)
            svg += "  <circle cx=\"16\" cy=\"16\" r=\"" + number(p[1].x()) + "\" fill=\"" + fill +
                   "\"/>\n";
        else {
            svg += "  <polygon points=\"";
            for (const QPointF& point : p)
                svg +=
                    number(point.x()) + ',' + number(point.y()) + (&point == &p.back() ? "" : " ");
            svg += "\" fill=\"" + fill + "\"/>\n";
        }
    }
    return QByteArray::fromStdString(svg + "</svg>\n");
}

// Stores a picture with a palette of at most sixteen colours (transparent counts as one).
QImage ToSixteenColours(const QImage& image) {
    QList<QRgb> table;
    table.append(qRgba(0, 0, 0, 0));
    for (QRgb c : kStandardColours)
        if (table.size() < 16) table.append(c);
    // The palette holds fifteen of the standard colours plus transparent; white, the last
    // standard colour, takes the slot of one the pictures never use (fuchsia).
    table[14] = kStandardColours[15];
    QImage indexed(image.size(), QImage::Format_Indexed8);
    indexed.setColorTable(table);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            const int index =
                qAlpha(c) == 0
                    ? 0
                    : static_cast<int>(table.indexOf(qRgb(qRed(c), qGreen(c), qBlue(c))));
            if (index < 0) {
                std::fprintf(stderr, "colour %08x at %d,%d is not in the palette\n", c, x, y);
                std::exit(1);
            }
            indexed.setPixel(x, y, static_cast<uint>(index));
        }
    return indexed;
}

bool Save(const QImage& image, const QDir& dir, const char* name) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (image.save(path)) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// Compares pixels, not file bytes: the image libraries may pack the same pixels differently.
bool Matches(const QImage& image, const QDir& dir, const char* name) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    const QImage committed(path);
    if (!committed.isNull() && committed.size() == image.size() &&
        committed.convertToFormat(QImage::Format_ARGB32) ==
            image.convertToFormat(QImage::Format_ARGB32))
        return true;
    std::fprintf(stderr, "%s is not what the drawing makes; redraw it\n", qPrintable(path));
    return false;
}

bool SaveText(const QByteArray& text, const QDir& dir, const char* name) {
    QFile file(dir.filePath(QString::fromLatin1(name)));
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size()) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
    return false;
}

bool MatchesText(const QByteArray& text, const QDir& dir, const char* name) {
    QFile file(dir.filePath(QString::fromLatin1(name)));
    if (file.open(QIODevice::ReadOnly) && file.readAll() == text) return true;
    std::fprintf(stderr, "%s is not what the drawing makes; redraw it\n",
                 qPrintable(file.fileName()));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const bool check = argc == 3 && std::string_view(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: %s [--check] FOLDER\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[argc - 1]));
    const auto out = check ? &Matches : &Save;
    const auto outText = check ? &MatchesText : &SaveText;
    if (!check) dir.mkpath(QStringLiteral("icons"));
    // Every picture is looked at, so that a check names all that differ.
    std::vector<bool> ok{out(DrawSchematic(), dir, "schematic.bmp"),
                         out(ToSixteenColours(DrawIcon()), dir, "velmor.png"),
                         out(ToSixteenColours(DrawExitGlyph()), dir, "exit.png"),
                         out(ToSixteenColours(DrawExitGlyphDisabled()), dir, "exit-disabled.png"),
                         outText(IconSvg(), dir, "icons/velmor.svg")};
    for (int size : {16, 24, 48, 64, 128, 256})
        ok.push_back(
            out(DrawIconAt(size), dir, ("icons/velmor-" + std::to_string(size) + ".png").c_str()));
    return std::ranges::all_of(ok, [](bool b) { return b; }) ? 0 : 1;
}
