// Draws every picture and icon of the window into the folder given as the only argument.
// The committed files under resources/pictures/ are this program's output; run
// resources/draw_pictures.sh after changing it.
//
// One palette for everything: deep teal for the window, a blue, a green, a coral and an
// amber for the four actions, slate for neutral glyphs and the greys of disabled states.

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

struct SBadgeColours {
    QColor light;
    QColor dark;
};

const SBadgeColours kBlue{QColor(0x5A, 0xA9, 0xF0), QColor(0x1E, 0x5F, 0xB8)};
const SBadgeColours kGreen{QColor(0x5C, 0xD1, 0x8F), QColor(0x1C, 0x8A, 0x55)};
const SBadgeColours kCoral{QColor(0xF2, 0x84, 0x74), QColor(0xC0, 0x3B, 0x2E)};
const SBadgeColours kAmber{QColor(0xF7, 0xC2, 0x5A), QColor(0xD0, 0x7A, 0x12)};
const SBadgeColours kTeal{QColor(0x4F, 0xC8, 0xC4), QColor(0x17, 0x7E, 0x8C)};
const SBadgeColours kGrey{QColor(0xC4, 0xC9, 0xCE), QColor(0x86, 0x8E, 0x96)};
const QColor kSlate(0x2E, 0x3A, 0x46);

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Every glyph is drawn on a 48-unit grid and scaled to the picture's size.
using Glyph = std::function<void(QPainter&)>;

QPolygonF polygon(std::initializer_list<QPointF> points)
{
    return QPolygonF(QVector<QPointF>(points));
}

QImage draw_icon(int size, const Glyph& glyph)
{
    QImage image = blank(size, size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 48.0, size / 48.0);
    glyph(painter);
    return image;
}

// A round badge with a soft drop shadow and a highlight on its upper half.
void badge(QPainter& painter, const SBadgeColours& colours)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(QRectF(3, 4.5, 42, 42));
    QLinearGradient fill(0, 3, 0, 45);
    fill.setColorAt(0, colours.light);
    fill.setColorAt(1, colours.dark);
    painter.setBrush(fill);
    painter.setPen(QPen(colours.dark.darker(115), 1));
    painter.drawEllipse(QRectF(3, 3, 42, 42));
    QLinearGradient shine(0, 4, 0, 24);
    shine.setColorAt(0, QColor(255, 255, 255, 90));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.drawEllipse(QRectF(8, 4.5, 32, 20));
}

QPen glyph_pen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Arrow on the badge pointing up (pointing_up) or down, with a bar at its far end: the
// song leaves the pedal or goes into it.
void arrow(QPainter& painter, bool pointing_up)
{
    painter.save();
    if (!pointing_up) {
        painter.translate(24, 24);
        painter.rotate(180);
        painter.translate(-24, -24);
    }
    QPainterPath head;
    head.moveTo(24, 11);
    head.lineTo(34, 22);
    head.lineTo(28, 22);
    head.lineTo(28, 31);
    head.lineTo(20, 31);
    head.lineTo(20, 22);
    head.lineTo(14, 22);
    head.closeSubpath();
    painter.setPen(glyph_pen(QColor(255, 255, 255), 1.5));
    painter.setBrush(Qt::white);
    painter.drawPath(head);
    painter.setPen(glyph_pen(Qt::white, 3.5));
    painter.drawLine(QPointF(15, 36.5), QPointF(33, 36.5));
    painter.restore();
}

void trash(QPainter& painter)
{
    painter.setPen(glyph_pen(Qt::white, 2.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(QPointF(14, 15.5), QPointF(34, 15.5));
    painter.drawPolyline(
        polygon({QPointF(20.5, 15.5), QPointF(21.5, 12), QPointF(26.5, 12), QPointF(27.5, 15.5)}));
    QPainterPath can;
    can.moveTo(16.5, 19);
    can.lineTo(18.5, 36);
    can.quadTo(18.8, 37.5, 20.5, 37.5);
    can.lineTo(27.5, 37.5);
    can.quadTo(29.2, 37.5, 29.5, 36);
    can.lineTo(31.5, 19);
    painter.setBrush(QColor(255, 255, 255, 60));
    painter.drawPath(can);
    painter.setPen(glyph_pen(Qt::white, 2));
    for (qreal x : {21.2, 24.0, 26.8})
        painter.drawLine(QPointF(x, 22.5), QPointF(x, 33.5));
}

// Two half-circle arrows chasing each other.
void refresh(QPainter& painter)
{
    painter.setPen(glyph_pen(Qt::white, 3.2));
    painter.setBrush(Qt::NoBrush);
    const QRectF ring(14, 14, 20, 20);
    painter.drawArc(ring, 20 * 16, 140 * 16);
    painter.drawArc(ring, 200 * 16, 140 * 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    auto tip = [&](qreal degrees) {
        const qreal a = qDegreesToRadians(degrees);
        const QPointF at(24 + 10 * qCos(a), 24 - 10 * qSin(a));
        const QPointF along(qSin(a), qCos(a));  // clockwise tangent
        const QPointF across(qCos(a), -qSin(a));
        painter.drawPolygon(
            polygon({at + along * 4.5, at - across * 4.5 - along * 1.5, at + across * 4.5 - along * 1.5}));
    };
    tip(20);
    tip(200);
}

void magnifier(QPainter& painter)
{
    painter.setBrush(QColor(255, 255, 255, 70));
    painter.setPen(glyph_pen(Qt::white, 3.6));
    painter.drawEllipse(QRectF(13, 12, 17, 17));
    painter.setPen(glyph_pen(Qt::white, 5.5));
    painter.drawLine(QPointF(28, 27.5), QPointF(35, 34.5));
}

// Rounded tile with a waveform: the song page.
void wave_tile(QPainter& painter, const SBadgeColours& colours)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 35));
    painter.drawRoundedRect(QRectF(4, 5.5, 40, 40), 9, 9);
    QLinearGradient fill(0, 4, 0, 44);
    fill.setColorAt(0, colours.light);
    fill.setColorAt(1, colours.dark);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(4, 4, 40, 40), 9, 9);
    painter.setPen(glyph_pen(Qt::white, 3));
    const qreal heights[] = {6, 12, 20, 14, 24, 16, 9, 18, 11, 5};
    for (int i = 0; i < 10; ++i) {
        const qreal x = 10.5 + i * 3.0;
        painter.drawLine(QPointF(x, 24 - heights[i] / 2), QPointF(x, 24 + heights[i] / 2));
    }
}

// A chip with pins on all four sides and an up arrow on it: the firmware page.
void chip_tile(QPainter& painter, const SBadgeColours& colours)
{
    painter.setPen(glyph_pen(colours.dark, 2.4));
    for (int i = 0; i < 4; ++i) {
        const qreal at = 15 + i * 6;
        painter.drawLine(QPointF(at, 4), QPointF(at, 10));
        painter.drawLine(QPointF(at, 38), QPointF(at, 44));
        painter.drawLine(QPointF(4, at), QPointF(10, at));
        painter.drawLine(QPointF(38, at), QPointF(44, at));
    }
    QLinearGradient fill(0, 9, 0, 39);
    fill.setColorAt(0, colours.light);
    fill.setColorAt(1, colours.dark);
    painter.setPen(QPen(colours.dark.darker(120), 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(9, 9, 30, 30), 5, 5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(polygon({QPointF(24, 14), QPointF(32, 23), QPointF(27.5, 23), QPointF(27.5, 33),
                                 QPointF(20.5, 33), QPointF(20.5, 23), QPointF(16, 23)}));
}

// An eighth note; `filled` false draws the outline only, for an empty song slot.
void note(QPainter& painter, const QColor& colour, bool filled)
{
    QPainterPath head;
    head.addEllipse(QPointF(0, 0), 8.5, 6);
    QTransform tilt;
    tilt.translate(17, 36);
    tilt.rotate(-22);
    const QPainterPath tilted_head = tilt.map(head);
    painter.setPen(glyph_pen(colour, 3.2));
    painter.drawLine(QPointF(24.5, 34), QPointF(24.5, 8));
    QPainterPath flag;
    flag.moveTo(24.5, 8);
    flag.cubicTo(27, 15, 38, 16, 34, 28);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flag);
    painter.setBrush(filled ? QBrush(colour) : QBrush(Qt::white));
    painter.drawPath(tilted_head);
}

// The program's icon: a rounded pedal seen from above, with the loop arrow on its face and
// the footswitch below it. Below 32 px the knobs and the LED would be noise and are left out,
// and the arrow is drawn bolder.
void pedal(QPainter& painter, int size)
{
    const SBadgeColours& colours = kTeal;
    const bool detailed = size >= 32;
    const QRectF body = detailed ? QRectF(9, 3, 30, 42) : QRectF(7, 2, 34, 44);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 45));
    painter.drawRoundedRect(body.translated(0, 1.5), 7, 7);
    QLinearGradient fill(0, body.top(), 0, body.bottom());
    fill.setColorAt(0, colours.light);
    fill.setColorAt(1, colours.dark);
    painter.setPen(QPen(colours.dark.darker(130), detailed ? 1 : 1.5));
    painter.setBrush(fill);
    painter.drawRoundedRect(body, 7, 7);
    QLinearGradient shine(0, body.top(), 0, body.top() + 18);
    shine.setColorAt(0, QColor(255, 255, 255, 80));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.drawRoundedRect(body.adjusted(2, 1.5, -2, -24), 5.5, 5.5);

    if (detailed) {
        for (qreal x : {16.0, 32.0}) {
            painter.setPen(QPen(kSlate.darker(140), 0.8));
            painter.setBrush(kSlate);
            painter.drawEllipse(QPointF(x, 9.5), 3, 3);
            painter.setPen(glyph_pen(Qt::white, 1));
            painter.drawLine(QPointF(x, 9.5), QPointF(x - 1.4, 7.4));
        }
        QRadialGradient led(24, 9, 1.8);
        led.setColorAt(0, QColor(0xFF, 0xB0, 0xA0));
        led.setColorAt(1, kCoral.dark);
        painter.setPen(Qt::NoPen);
        painter.setBrush(led);
        painter.drawEllipse(QPointF(24, 9.5), 1.6, 1.6);
    }

    // Clockwise from the upper right round to the upper left, the head closing the loop.
    const QPointF centre(24, detailed ? 22.5 : 19);
    const qreal radius = detailed ? 7 : 9;
    const qreal stroke = detailed ? 2.8 : 4.2;
    const qreal start = 70, end = 140;
    QPainterPath loop;
    for (qreal degrees = start; degrees >= end - 360; degrees -= 5) {
        const qreal a = qDegreesToRadians(degrees);
        const QPointF at(centre.x() + radius * qCos(a), centre.y() - radius * qSin(a));
        if (loop.elementCount() == 0)
            loop.moveTo(at);
        else
            loop.lineTo(at);
    }
    painter.setPen(QPen(Qt::white, stroke, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(loop);
    const qreal a = qDegreesToRadians(end);
    const QPointF tail(centre.x() + radius * qCos(a), centre.y() - radius * qSin(a));
    const QPointF along(qSin(a), qCos(a));
    const QPointF across(qCos(a), -qSin(a));
    const qreal half = stroke * 1.6;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(polygon({tail + along * half * 1.5, tail + across * half, tail - across * half}));

    const QPointF knob(24, detailed ? 36.5 : 37.5);
    const qreal switch_radius = detailed ? 5 : 5.5;
    QRadialGradient metal(knob - QPointF(1.5, 1.5), switch_radius * 1.4);
    metal.setColorAt(0, QColor(0xF4, 0xF6, 0xF8));
    metal.setColorAt(1, kGrey.dark);
    painter.setPen(QPen(kSlate, detailed ? 0.9 : 1.2));
    painter.setBrush(metal);
    painter.drawEllipse(knob, switch_radius, switch_radius);
    if (detailed) {
        painter.setPen(QPen(QColor(255, 255, 255, 150), 0.8));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(knob, switch_radius - 2, switch_radius - 2);
    }
}

// Soft page background: a pale vertical gradient with two faint waves across the lower
// half, light enough for black text on top.
QImage background(int width, int height, const QColor& top, const QColor& bottom, const QColor& wave)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.fillRect(image.rect(), fill);
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath band;
        const qreal base = height * (0.62 + 0.09 * layer);
        band.moveTo(0, base);
        for (int x = 0; x <= width; x += 4) {
            const qreal phase = x / qreal(width) * 2 * M_PI * (1.2 + 0.35 * layer) + layer * 1.7;
            band.lineTo(x, base + qSin(phase) * (18 - 4 * layer));
        }
        band.lineTo(width, height);
        band.lineTo(0, height);
        band.closeSubpath();
        QColor tint = wave;
        tint.setAlpha(22 + 10 * layer);
        painter.fillPath(band, tint);
    }
    QRadialGradient glow(width * 0.85, height * 0.1, width * 0.6);
    glow.setColorAt(0, QColor(255, 255, 255, 120));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(image.rect(), glow);
    return image;
}

// The window frame around the tabs: a deeper teal so the pages stand out on it.
QImage window_background(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, width, height);
    fill.setColorAt(0, QColor(0xD6, 0xEC, 0xEE));
    fill.setColorAt(1, QColor(0xA9, 0xCF, 0xD6));
    painter.fillRect(image.rect(), fill);
    painter.setPen(QPen(QColor(255, 255, 255, 50), 1));
    for (int y = -width; y < height; y += 14)
        painter.drawLine(QPointF(0, y), QPointF(width, y + width * 0.35));
    return image;
}

bool save(const QImage& image, const QString& path, const char* format, int quality = -1)
{
    if (image.save(path, format, quality))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    auto on_badge = [](const SBadgeColours& colours, const Glyph& glyph) {
        return [=](QPainter& painter) {
            badge(painter, colours);
            glyph(painter);
        };
    };
    bool ok = true;
    ok &= save(draw_icon(48, on_badge(kBlue, [](QPainter& p) { arrow(p, true); })),
               out.filePath("Arrow2 Up.png"), "PNG");
    ok &= save(draw_icon(48, on_badge(kGreen, [](QPainter& p) { arrow(p, false); })),
               out.filePath("Arrow2 Down.png"), "PNG");
    ok &= save(draw_icon(48, on_badge(kCoral, trash)), out.filePath("Trash.png"), "PNG");
    ok &= save(draw_icon(48, on_badge(kAmber, refresh)), out.filePath("Refresh.png"), "PNG");
    ok &= save(draw_icon(32, on_badge(kBlue, magnifier)), out.filePath("Search-Small.png"), "PNG");
    ok &= save(draw_icon(48, [](QPainter& p) { wave_tile(p, kTeal); }), out.filePath("ChangeWav.png"), "PNG");
    ok &= save(draw_icon(48, [](QPainter& p) { wave_tile(p, kGrey); }), out.filePath("ChangeWav - Gray.png"),
               "PNG");
    ok &= save(draw_icon(48, [](QPainter& p) { chip_tile(p, kAmber); }), out.filePath("UpdateFirmware.png"),
               "PNG");
    ok &= save(draw_icon(48, [](QPainter& p) { chip_tile(p, kGrey); }),
               out.filePath("UpdateFirmware - Gray.png"), "PNG");
    ok &= save(
        draw_icon(32, [](QPainter& p) { note(p, kTeal.dark, true); }).convertToFormat(QImage::Format_ARGB32),
        out.filePath("tone.ico"), "ICO");
    ok &= save(
        draw_icon(32, [](QPainter& p) { note(p, kGrey.dark, false); }).convertToFormat(QImage::Format_ARGB32),
        out.filePath("toneNone.ico"), "ICO");
    ok &= save(background(676, 536, QColor(0xFB, 0xFD, 0xFE), QColor(0xE4, 0xF2, 0xF4), kTeal.dark),
               out.filePath("Bg1.jpg"), "JPG", 92);
    ok &= save(background(676, 536, QColor(0xFE, 0xFC, 0xF8), QColor(0xF6, 0xEC, 0xDC), kAmber.dark),
               out.filePath("Bg3.jpg"), "JPG", 92);
    ok &= save(window_background(704, 595), out.filePath("Bg2.jpg"), "JPG", 92);
    // The desktop's icon sizes; the installed copies are named after the desktop ID.
    for (int size : {16, 24, 32, 48, 64, 128, 256, 512})
        ok &= save(draw_icon(size, [size](QPainter& p) { pedal(p, size); }),
                   out.filePath(QString("tandora-%1.png").arg(size)), "PNG");
    return ok ? 0 : 1;
}
