// Two-state pictures on labels: the digital inputs of the board and its lamps.
#pragma once

class QLabel;

enum class IndicatorStyle {
    Led,          // a lamp: green when on, dark when off
    DigitalInput, // a switch: closed when on, open when off
};

// Shows the picture of `on` in the given style on `label`.
void setInputIndicator(QLabel *label, bool on, IndicatorStyle style);
