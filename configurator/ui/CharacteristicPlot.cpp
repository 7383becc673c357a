#include "configurator/ui/CharacteristicPlot.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace configurator {

namespace {

constexpr double MaxVoltage = 5.0;
const QColor LineColor(0x1f, 0x4e, 0x99);
const QColor BeyondShade(0xee, 0xee, 0xee);
const QString BeyondCaption =
    QStringLiteral("Außerhalb der Punkte (grau, gestrichelt) hängt die Ausgabe von der Firmware "
                   "des Geräts ab: ob sie begrenzt oder weiterrechnet, ist offen.");
// The caption's text starts right of its sample of the dashed line.
constexpr int CaptionIndent = 34;

// A tick step for lambda that gives at most about eight ticks.
double lambdaStep(double span)
{
    for (double step : {0.05, 0.1, 0.2, 0.25, 0.5})
        if (span / step <= 8)
            return step;
    return 1.0;
}

} // namespace

CharacteristicPlot::CharacteristicPlot(QWidget *parent)
    : QWidget(parent), m_characteristic(ConfigSettings(), 1)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CharacteristicPlot::setCharacteristic(const AnalogCharacteristic &characteristic)
{
    m_characteristic = characteristic;
    update();
}

void CharacteristicPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().base());

    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight = metrics.height();
    // Room for the voltage labels on the left, and below for the lambda labels, the axis name
    // and the caption, on as many lines as it takes at this width and font size.
    const int left = metrics.horizontalAdvance(QStringLiteral("5 V")) + 14;
    const int captionWidth = width() - left - 24 - CaptionIndent;
    const int captionHeight =
        metrics.boundingRect(QRect(0, 0, captionWidth, 1 << 20), Qt::TextWordWrap, BeyondCaption)
            .height();
    const QRectF area(left, lineHeight, width() - left - 24,
                      height() - 3.5 * lineHeight - 14 - captionHeight);
    if (area.width() < 20 || area.height() < 20)
        return;

    // Plain references: the lambdas below capture them, and Clang before 16 cannot capture a
    // structured binding.
    const auto &p0 = m_characteristic.points[0];
    const auto &p1 = m_characteristic.points[1];
    const double low = std::min(p0.lambda, p1.lambda);
    const double high = std::max(p0.lambda, p1.lambda);
    const double pad = std::max(0.05, (high - low) / 4);
    const double xMin = std::max(0.0, low - pad);
    const double xMax = high + pad;
    const auto toX = [&](double lambda) {
        return area.left() + (lambda - xMin) / (xMax - xMin) * area.width();
    };
    const auto toY = [&](double voltage) {
        return area.bottom() - voltage / MaxVoltage * area.height();
    };

    // Beyond the points the output is the firmware's business: shade it.
    painter.fillRect(QRectF(area.left(), area.top(), toX(low) - area.left(), area.height()),
                     BeyondShade);
    painter.fillRect(QRectF(toX(high), area.top(), area.right() - toX(high), area.height()),
                     BeyondShade);

    // Grid and axis labels.
    const QColor text = palette().color(QPalette::Text);
    painter.setPen(QPen(QColor(0xcc, 0xcc, 0xcc), 0));
    for (int volt = 0; volt <= 5; ++volt) {
        const double y = toY(volt);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
    const double step = lambdaStep(xMax - xMin);
    QList<double> ticks;
    for (double tick = std::ceil(xMin / step - 1e-9) * step; tick <= xMax + 1e-9; tick += step)
        ticks.append(tick);
    for (double tick : ticks)
        painter.drawLine(QPointF(toX(tick), area.top()), QPointF(toX(tick), area.bottom()));
    painter.setPen(text);
    painter.drawRect(area);
    for (int volt = 0; volt <= 5; ++volt)
        painter.drawText(QRectF(0, toY(volt) - lineHeight / 2.0, area.left() - 6, lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 V").arg(volt));
    for (double tick : ticks)
        painter.drawText(QRectF(toX(tick) - 30, area.bottom() + lineHeight / 2.0, 60, lineHeight),
                         Qt::AlignCenter, AnalogCharacteristic::decimalText(tick, 2));
    painter.drawText(
        QRectF(area.left(), area.bottom() + 1.5 * lineHeight, area.width(), lineHeight),
        Qt::AlignCenter, QStringLiteral("Lambda"));

    // The line: solid between the points; where it goes on, dashed and cut at 0 and 5 V.
    painter.save();
    painter.setClipRect(area.adjusted(-1, -1, 1, 1));
    QPen solid(LineColor, 2);
    const QPointF q0(toX(p0.lambda), toY(p0.voltage));
    const QPointF q1(toX(p1.lambda), toY(p1.voltage));
    if (p0.lambda != p1.lambda) {
        const auto voltageAt = [&](double lambda) {
            return p0.voltage +
                   (lambda - p0.lambda) * (p1.voltage - p0.voltage) / (p1.lambda - p0.lambda);
        };
        QPen dashed(LineColor, 1.5, Qt::DashLine);
        painter.setPen(dashed);
        painter.drawLine(QPointF(toX(xMin), toY(voltageAt(xMin))),
                         QPointF(toX(low), toY(voltageAt(low))));
        painter.drawLine(QPointF(toX(high), toY(voltageAt(high))),
                         QPointF(toX(xMax), toY(voltageAt(xMax))));
    }
    painter.setPen(solid);
    painter.drawLine(q0, q1);
    painter.restore();

    // The points with their values, the label kept inside the plot.
    painter.setPen(text);
    const std::array<QPointF, 2> marks{q0, q1};
    for (int i = 0; i < 2; ++i) {
        const auto &point = m_characteristic.points[i];
        painter.setBrush(LineColor);
        painter.drawEllipse(marks[i], 4.5, 4.5);
        const QString label = QStringLiteral("P%1: λ %2 | %3 V")
                                  .arg(i)
                                  .arg(AnalogCharacteristic::decimalText(point.lambda, 2),
                                       AnalogCharacteristic::decimalText(point.voltage, 3));
        const int labelWidth = metrics.horizontalAdvance(label);
        double x = marks[i].x() + 8;
        if (x + labelWidth > area.right())
            x = marks[i].x() - 8 - labelWidth;
        double y = marks[i].y() - 8 - lineHeight;
        if (y < area.top())
            y = marks[i].y() + 8;
        // Two points at one place: the second label goes below the first.
        if (i == 1 && std::abs(marks[0].y() - marks[1].y()) < lineHeight &&
            std::abs(marks[0].x() - marks[1].x()) < labelWidth)
            y += y < marks[i].y() ? -lineHeight : lineHeight;
        painter.drawText(QRectF(x, y, labelWidth + 2, lineHeight), Qt::AlignLeft, label);
    }

    // The caption of the dashed part.
    const double captionY = area.bottom() + 2.5 * lineHeight + 8;
    painter.fillRect(QRectF(area.left(), captionY + 2, 28, lineHeight - 4), BeyondShade);
    painter.setPen(QPen(LineColor, 1.5, Qt::DashLine));
    painter.drawLine(QPointF(area.left(), captionY + lineHeight / 2.0),
                     QPointF(area.left() + 28, captionY + lineHeight / 2.0));
    painter.setPen(text);
    painter.drawText(QRectF(area.left() + CaptionIndent, captionY, captionWidth, captionHeight),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, BeyondCaption);
}

} // namespace configurator
