#include "monitor/gui/StatePictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace monitor {

namespace {

constexpr int Size = 16;

QIcon paint(StateImage state)
{
    QPixmap picture(Size, Size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (state) {
    case StateImage::UnderTest: {
        painter.setBrush(QColor(0, 190, 210));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRectF(0.5, 0.5, Size - 1, Size - 1));
        QFont font;
        font.setBold(true);
        font.setPixelSize(13);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, Size, Size), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case StateImage::OK: {
        QPainterPath check;
        check.moveTo(2.5, 8.5);
        check.lineTo(6.5, 12.5);
        check.lineTo(13.5, 3.5);
        painter.setPen(QPen(QColor(0, 150, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(check);
        break;
    }
    case StateImage::Fail:
        painter.setPen(QPen(QColor(210, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        painter.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        break;
    case StateImage::None:
        return {};
    }
    painter.end();
    return QIcon(picture);
}

} // namespace

QIcon statePicture(StateImage state)
{
    static const std::array<QIcon, 3> pictures
        = { paint(StateImage::UnderTest), paint(StateImage::OK), paint(StateImage::Fail) };
    const int index = static_cast<int>(state);
    return index >= 0 && index < 3 ? pictures[static_cast<size_t>(index)] : QIcon();
}

} // namespace monitor
