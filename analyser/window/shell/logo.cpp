#include "analyser/window/shell/logo.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace qorval::analyser {

QPixmap PaintLogo(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(1, 1, width - 2, height - 2);
    QLinearGradient sky(frame.topLeft(), frame.bottomLeft());
    sky.setColorAt(0, QColor(18, 40, 86));
    sky.setColorAt(1, QColor(40, 92, 160));
    painter.setBrush(sky);
    painter.setPen(QPen(QColor(200, 215, 240), 2));
    painter.drawRoundedRect(frame, 8, 8);

    // The flag 0 1 1 1 1 1 1 0 as a line trace across the upper half.
    const bool bits[] = {false, true, true, true, true, true, true, false};
    const qreal left = width * 0.08, right = width * 0.92;
    const qreal high = height * 0.18, low = height * 0.42;
    const qreal step = (right - left) / 8;
    QPainterPath trace;
    trace.moveTo(left, bits[0] ? high : low);
    for (int i = 0; i < 8; ++i) {
        const qreal y = bits[i] ? high : low;
        trace.lineTo(left + step * i, y);
        trace.lineTo(left + step * (i + 1), y);
    }
    painter.setPen(QPen(QColor(120, 230, 160), 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(trace);

    QFont font = painter.font();
    font.setPixelSize(static_cast<int>(height * 0.28));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, height * 0.5, width, height * 0.45), Qt::AlignCenter,
                     QStringLiteral("LOMBEX"));
    return pixmap;
}

}  // namespace qorval::analyser
