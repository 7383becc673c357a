#include "configurator/ui/CharacteristicWindow.h"

#include "configurator/ui/CharacteristicPlot.h"
#include "devicelink/Printable.h"
#include "shell/SavedSettings.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace configurator {

namespace {

// The fuel is a preference of the program, kept by name so the list may grow.
const QString FuelKey = QStringLiteral("kennlinie/kraftstoff");

} // namespace

CharacteristicWindow::CharacteristicWindow(SettingsSource source, QWidget *parent)
    : QWidget(parent, Qt::Window), m_source(std::move(source))
{
    setObjectName(QStringLiteral("CharacteristicWindow"));
    setWindowTitle(QStringLiteral("Kennlinie Analogausgang"));

    m_plot = new CharacteristicPlot(this);

    calibration = new QLabel(this);
    calibration->setObjectName(QStringLiteral("calibration"));
    calibration->setTextInteractionFlags(Qt::TextSelectableByMouse);

    table = new QLabel(this);
    table->setObjectName(QStringLiteral("table"));
    table->setTextInteractionFlags(Qt::TextSelectableByMouse);

    fuel = new QComboBox(this);
    fuel->setObjectName(QStringLiteral("fuel"));
    for (const Fuel &f : AnalogCharacteristic::fuels()) {
        QString ratio = AnalogCharacteristic::decimalText(f.stoich, 2); // "14,7", "9,77"
        if (ratio.endsWith(QLatin1Char('0')))
            ratio.chop(1);
        fuel->addItem(QStringLiteral("%1 (%2)").arg(f.name, ratio));
    }
    const QString saved = shell::savedSetting(FuelKey).toString();
    int index = AnalogCharacteristic::defaultFuel();
    for (int i = 0; i < AnalogCharacteristic::fuels().size(); ++i)
        if (AnalogCharacteristic::fuels().at(i).name == saved)
            index = i;
    fuel->setCurrentIndex(index);

    kopieren = new QPushButton(QStringLiteral("K&opieren"), this);
    kopieren->setObjectName(QStringLiteral("kopieren"));
    kopieren->setToolTip(
        QStringLiteral("Punkte, Geradengleichung und Tabelle als Text in die Zwischenablage"));

    resolution = new QLabel(this);
    resolution->setObjectName(QStringLiteral("resolution"));
    notes = new QLabel(this);
    notes->setObjectName(QStringLiteral("notes"));
    notes->setWordWrap(true);

    auto *fuelRow = new QHBoxLayout;
    auto *fuelLabel = new QLabel(QStringLiteral("&Kraftstoff:"), this);
    fuelLabel->setBuddy(fuel);
    fuel->setAccessibleName(QStringLiteral("Kraftstoff")); // else the entry is its name
    fuelRow->addWidget(fuelLabel);
    fuelRow->addWidget(fuel);
    fuelRow->addStretch();
    fuelRow->addWidget(kopieren);

    // The table beside the plot, not below it: the window fits a 768-pixel screen.
    auto *plotRow = new QHBoxLayout;
    plotRow->addWidget(m_plot, 1);
    plotRow->addSpacing(12);
    plotRow->addWidget(table, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(plotRow, 1);
    layout->addLayout(fuelRow);
    layout->addWidget(calibration);
    layout->addWidget(resolution);
    layout->addWidget(notes);

    connect(fuel, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0) {
            // Only a preference: the window works on, and says why on the list's tooltip.
            const QString why =
                shell::saveSetting(FuelKey, AnalogCharacteristic::fuels().at(i).name);
            fuel->setToolTip(why.isEmpty() ? QString()
                                           : QStringLiteral("Kraftstoff nicht gespeichert: ") +
                                                 devicelink::printable(why));
        }
        refresh();
    });
    connect(kopieren, &QPushButton::clicked, this, &CharacteristicWindow::kopieren_Click);
    new QShortcut(QKeySequence::Cancel, this, this, &QWidget::close);
    refresh();
}

AnalogCharacteristic CharacteristicWindow::characteristic() const
{
    const int i = qMax(0, fuel->currentIndex());
    return AnalogCharacteristic(m_source(), AnalogCharacteristic::fuels().at(i).stoich);
}

void CharacteristicWindow::refresh()
{
    const AnalogCharacteristic c = characteristic();
    m_plot->setCharacteristic(c);

    QStringList lines{c.pointText(0), c.pointText(1)};
    if (c.hasLine) {
        const auto afrAt = [&c](int i) {
            return QStringLiteral("%1 V = AFR %2")
                .arg(AnalogCharacteristic::decimalText(c.points[i].voltage, 3),
                     AnalogCharacteristic::decimalText(c.points[i].lambda * c.stoich, 2));
        };
        lines << c.lambdaLineText() << c.afrLineText()
              << QStringLiteral("AFR-Punkte: %1; %2").arg(afrAt(0), afrAt(1));
    }
    calibration->setText(lines.join(QLatin1Char('\n')));
    // The table part of the clipboard text: the header and its rows.
    table->setText(c.hasLine ? c.calibrationText().section(QLatin1Char('\n'), 3).trimmed()
                             : QString());
    resolution->setText(c.hasLine ? c.resolutionText() : QStringLiteral("Auflösung: –"));
    QStringList noteLines;
    for (AnalogCharacteristic::Note note : c.notes)
        noteLines << AnalogCharacteristic::noteText(note);
    notes->setText(noteLines.join(QLatin1Char('\n')));
    notes->setVisible(!noteLines.isEmpty());
    kopieren->setEnabled(c.hasLine);
}

void CharacteristicWindow::kopieren_Click()
{
    QGuiApplication::clipboard()->setText(characteristic().calibrationText());
}

} // namespace configurator
