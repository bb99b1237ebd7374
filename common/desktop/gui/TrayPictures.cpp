#include "common/desktop/gui/TrayPictures.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>

namespace desktop {

namespace {

// Trays ask for sizes between 16 and 64 pixels; one painted pixmap per size stays sharp.
constexpr int kSizes[] = { 16, 22, 24, 32, 48, 64 };

QPixmap paintPicture(int size, const QColor& colour, const QString& letters)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const qreal radius = size / 5.0;
    painter.drawRoundedRect(QRectF(0, 0, size, size), radius, radius);

    // The largest bold face that leaves a margin of an eighth on each side.
    QFont font;
    font.setBold(true);
    int pixelSize = size * 11 / 20;
    font.setPixelSize(pixelSize);
    while (pixelSize > 6 && QFontMetrics(font).horizontalAdvance(letters) > size * 3 / 4) {
        font.setPixelSize(--pixelSize);
    }
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, letters);
    return pixmap;
}

QIcon paintIcon(const QColor& colour, const QString& letters)
{
    QIcon icon;
    for (int size : kSizes)
        icon.addPixmap(paintPicture(size, colour, letters));
    return icon;
}

} // namespace

std::array<QIcon, 2> makeTrayPictures(const QString& letters)
{
    return { paintIcon(QColor(0x1f, 0x5f, 0xa8), letters), paintIcon(QColor(0xd9, 0x6c, 0x00), letters) };
}

} // namespace desktop
