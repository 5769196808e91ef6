#include "Utils.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

std::string GetAppDir() { return QCoreApplication::applicationDirPath().toStdString(); }

std::string TimeText(std::int64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
    return text;
}

QIcon ProgramIcon()
{
    // A card seen from above: board, edge connector and the main chip.
    constexpr int Size = 64;
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x1B, 0x4D, 0x2A), 2));
    painter.setBrush(QColor(0x2E, 0x8B, 0x4A));
    painter.drawRoundedRect(QRectF(4, 10, 56, 40), 4, 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xD4, 0xAF, 0x37));
    for (int finger = 0; finger < 8; ++finger)
        painter.drawRect(QRectF(10 + finger * 6, 50, 4, 8));
    painter.setBrush(QColor(0x20, 0x20, 0x28));
    painter.drawRect(QRectF(22, 18, 20, 20));
    painter.setBrush(QColor(0xE0, 0xE0, 0xE0));
    painter.drawEllipse(QPointF(27, 23), 2, 2);
    return QIcon(pixmap);
}
