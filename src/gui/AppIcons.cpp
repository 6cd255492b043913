#include "gui/AppIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace gui {

namespace {

// Every icon is drawn at a few sizes, so that the tray, the title bar and the about box each get
// a sharp picture rather than a scaled one.
constexpr int kSizes[] = {16, 22, 24, 32, 48, 64};

template <typename Draw> QIcon DrawIcon(Draw draw)
{
    QIcon icon;
    for (const int size : kSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // Draw on a 64 x 64 grid whatever the size.
        painter.scale(size / 64.0, size / 64.0);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void DrawPin(QPainter& p, const QColor& fill)
{
    // A globe line under a map pin: the address of the home server on the map of the net.
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(6, 40, 52, 18));

    QPainterPath pin;
    pin.moveTo(32, 58);
    pin.cubicTo(20, 40, 12, 32, 12, 22);
    pin.arcTo(QRectF(12, 2, 40, 40), 180, -180);
    pin.cubicTo(52, 32, 44, 40, 32, 58);
    pin.closeSubpath();
    p.setPen(QPen(fill.darker(160), 3));
    p.setBrush(fill);
    p.drawPath(pin);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(24, 14, 16, 16));
}

void DrawRunningMark(QPainter& p)
{
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(0x10, 0x80, 0x20));
    p.drawEllipse(QRectF(34, 34, 28, 28));
    QPolygonF play;
    play << QPointF(44, 41) << QPointF(56, 48) << QPointF(44, 55);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(play);
}

void DrawFailure(QPainter& p)
{
    // A red disc with a white cross.
    p.setPen(QPen(QColor(0x90, 0x10, 0x10), 3));
    p.setBrush(QColor(0xD8, 0x20, 0x20));
    p.drawEllipse(QRectF(4, 4, 56, 56));
    p.setPen(QPen(Qt::white, 9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(21, 21), QPointF(43, 43));
    p.drawLine(QPointF(43, 21), QPointF(21, 43));
}

void DrawStepError(QPainter& p)
{
    // A yellow triangle with an exclamation mark.
    QPolygonF triangle;
    triangle << QPointF(32, 4) << QPointF(61, 58) << QPointF(3, 58);
    p.setPen(QPen(QColor(0x90, 0x70, 0x00), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xF4, 0xC4, 0x10));
    p.drawPolygon(triangle);
    p.setPen(QPen(Qt::black, 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 22), QPointF(32, 40));
    p.drawPoint(QPointF(32, 50));
}

void DrawEvent(QPainter& p)
{
    // A blue disc with a white "i".
    p.setPen(QPen(QColor(0x10, 0x40, 0x90), 3));
    p.setBrush(QColor(0x20, 0x70, 0xD0));
    p.drawEllipse(QRectF(4, 4, 56, 56));
    p.setPen(QPen(Qt::white, 8, Qt::SolidLine, Qt::RoundCap));
    p.drawPoint(QPointF(32, 18));
    p.drawLine(QPointF(32, 30), QPointF(32, 48));
}

} // namespace

QIcon ProgramIcon(bool running)
{
    if (running)
        return DrawIcon([](QPainter& p) {
            DrawPin(p, QColor(0x20, 0xA0, 0x40));
            DrawRunningMark(p);
        });
    return DrawIcon([](QPainter& p) { DrawPin(p, QColor(0x20, 0x70, 0xD0)); });
}

QIcon LogKindIcon(core::LogKind kind)
{
    switch (kind) {
    case core::lkRunFailure:
        return DrawIcon(DrawFailure);
    case core::lkStepError:
        return DrawIcon(DrawStepError);
    case core::lkEvent:
        break;
    }
    return DrawIcon(DrawEvent);
}

} // namespace gui
