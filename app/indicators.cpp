#include "app/indicators.h"

#include <QLabel>
#include <QPixmap>

void setInputIndicator(QLabel *label, bool on, IndicatorStyle style) {
    if (label == nullptr) return;
    const bool digital = style == IndicatorStyle::DigitalInput;
    const QString path = on ? (digital ? QStringLiteral(":/icons/Resources/digitalinput.png")
                                       : QStringLiteral(":/icons/Resources/greenled.png"))
                            : (digital ? QStringLiteral(":/icons/Resources/digitalinputoff.png")
                                       : QStringLiteral(":/icons/Resources/ledoff.png"));
    label->setPixmap(QPixmap(path));
}
