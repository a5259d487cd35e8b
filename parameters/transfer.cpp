// Moving parameter values between the page rows and the board: Show and Set of one row, View all,
// Set all, storing, and the parameter banks of the WATER and AIR - DUCTED boards.
#include "app/texts.h"
#include "parameters/boardtransfer.h"
#include "parameters/catalogue.h"
#include "parameters/notices.h"
#include "parameters/setall.h"
#include "ui/hearthbench.h"
#include "ui_hearthbench.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressDialog>
#include <QRadioButton>
#include <QStackedLayout>
#include <QToolButton>

#include <cmath>
#include <memory>

namespace {

constexpr int refreshMode = 1;

// Restores the override cursor when it leaves scope, so no return path keeps the wait cursor.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    void restore() {
        if (active) QApplication::restoreOverrideCursor();
        active = false;
    }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool active = true;
};

QString parametersTitle() {
    return textAt(3);
}

// The progress dialog of View all and Set all: no parent, frameless with a title hint, modal.
std::unique_ptr<QProgressDialog> progressDialog(const QString &label, int maximum) {
    auto dialog = std::make_unique<QProgressDialog>(nullptr, Qt::FramelessWindowHint | Qt::WindowTitleHint);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setLabelText(label);
    dialog->setCancelButtonText(textAt(34));
    dialog->setRange(0, maximum);
    dialog->setMinimumDuration(0);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    return dialog;
}

// Reads the board's value of `d` into `box`, or shows "ERR" there when the board does not answer.
void showBoardValue(QDoubleSpinBox *box, const ParameterDescriptor &d, bool hubaMode,
                    const RetryPolicy &policy) {
    std::int16_t raw = 0;
    if (readBoardParameter(d.table, d.boardIndex, &raw, policy))
        box->setValue(shownValue(d, hubaMode, raw));
    else
        box->setSpecialValueText(QStringLiteral("ERR"));
}

} // namespace

void HearthBench::detectHubaMode() {
    const auto position = groupSelectorPosition(currentModel);
    if (!position) return;
    const ParameterDescriptor &d = descriptor(currentModel, *position);
    std::int16_t value = 0;
    if (readBoardParameter(d.table, d.boardIndex, &value, retry::detectHuba)) hubaMode = value == 2;
}

void HearthBench::viewParameter() {
    const int position = showButtonPositions.value(qobject_cast<QToolButton *>(sender()), -1);
    if (position < 0) return;
    const ParameterDescriptor &d = descriptor(currentModel, position);
    QDoubleSpinBox *box = valueBoxes[position];
    {
        WaitCursor cursor;
        showBoardValue(box, d, hubaMode, retry::viewOne);
    }
    clearSetHighlight(position);
    box->setFocus();
}

void HearthBench::viewAll() {
    const int count = parameterRowCount();
    clearWindowFocus();
    WaitCursor cursor;
    const auto dialog = progressDialog(textAt(64), count);
    for (int i = 0; i < count; ++i) {
        dialog->setValue(i);
        QCoreApplication::processEvents(); // a click on Stop is seen before the next row
        parameterStack->setCurrentWidget(valueBoxes[i]->parentWidget());
        if (dialog->wasCanceled()) break;
        // Values read from the board do not mark their rows as modified.
        QDoubleSpinBox *box = valueBoxes[i];
        QObject::disconnect(box, nullptr, nullptr, nullptr);
        const ParameterDescriptor &d = descriptor(currentModel, i);
        showBoardValue(box, d, hubaMode, retry::viewAll);
        connectValueBox(i);
    }
    dialog->setValue(count);
    if (parameterStack) {
        currentParameterPage = parameterStack->currentIndex();
        updatePageButtons();
    }
    cursor.restore();
    dialog->close();
}

void HearthBench::setParameter() {
    WaitCursor cursor;
    const int position = setButtonPositions.value(qobject_cast<QToolButton *>(sender()), -1);
    if (position < 0) return;
    const ParameterDescriptor &d = descriptor(currentModel, position);
    QDoubleSpinBox *box = valueBoxes[position];

    // A value that stops the service link needs the user's consent.
    if (d.keepsLink == 0 && box->cleanText().toInt() == 1 &&
        !notices::askYesNo(parametersTitle(), textAt(156) + QStringLiteral("\n") + textAt(157))) {
        box->setValue(0);
        clearSetHighlight(position);
        return;
    }
    // The group selector switches every row to the ranges of its group before it is written.
    if (d.keepsGroup == 0) {
        hubaMode = box->value() == 2;
        fillPages(refreshMode);
    }

    bool ok;
    if (d.wholeValue) {
        const ParameterRange &r = activeRange(d, hubaMode);
        ok = writeBoardParameter(d.table, d.boardIndex, toRaw(r.scale, box->value(), d.positive),
                                 retry::setWhole);
    } else {
        // Only this row's bit changes; the other bits keep the board's values.
        std::int16_t word = 0;
        ok = readBoardParameter(d.table, d.boardIndex, &word, retry::readFlags);
        if (ok)
            ok = writeBoardParameter(d.table, d.boardIndex, applyBit(word, d.bit, box->value()),
                                     retry::writeFlags);
    }
    cursor.restore();
    if (ok) {
        notices::information(parametersTitle(), textAt(78));
    } else {
        notices::critical(parametersTitle(), textAt(79));
        box->clear(); // the board value is unknown now
    }
    box->setFocus();
    clearSetHighlight(position);
}

void HearthBench::setAll() {
    const int model = currentModel;
    const int count = parameterRowCount();

    // Check: every row must hold a value, and the user must consent to a link-stopping value.
    QList<RowValue> rows;
    for (int i = 0; i < count; ++i)
        rows.append(RowValue{valueBoxEmpty(i), valueBoxes[i]->value()});
    const CheckResult check = checkRows(model, rows, hubaMode, [this](int i) {
        const QString question =
            QStringLiteral("%0 = 1.\n%1\n%2").arg(nameLabels[i]->text(), textAt(156), textAt(157));
        if (notices::askYesNo(parametersTitle(), question)) return true;
        valueBoxes[i]->setValue(0);
        clearSetHighlight(i);
        return false;
    });
    hubaMode = check.hubaMode;
    if (check.outcome == CheckResult::EmptyRow) {
        notices::information(
            parametersTitle(),
            QStringLiteral("%0 %1").arg(nameLabels[check.emptyRow]->text(), textAt(83).toLower()));
        valueBoxes[check.emptyRow]->setFocus();
        return;
    }
    if (check.outcome == CheckResult::Cancelled) return;

    // Write: one value per board parameter, flags words composed from their bit rows.
    QList<double> values;
    for (const RowValue &row : rows)
        values.append(row.value);
    const QList<BoardWrite> writes = composeWrites(model, values, hubaMode);
    clearWindowFocus();
    bool allOk = true;
    {
        WaitCursor cursor;
        const auto dialog = progressDialog(textAt(65), static_cast<int>(writes.size()));
        for (int k = 0; k < writes.size(); ++k) {
            const BoardWrite &w = writes[k];
            dialog->setValue(k);
            QCoreApplication::processEvents();
            parameterStack->setCurrentWidget(valueBoxes[w.positions.first()]->parentWidget());
            if (dialog->wasCanceled()) break;
            allOk = writeBoardParameter(w.table, w.boardIndex, w.raw, retry::setAll) && allOk;
            for (int position : w.positions)
                clearSetHighlight(position);
        }
        dialog->setValue(static_cast<int>(writes.size()));
        if (parameterStack) {
            currentParameterPage = parameterStack->currentIndex();
            updatePageButtons();
        }
        cursor.restore();
        dialog->close();
    }
    if (allOk)
        notices::information(parametersTitle(), textAt(80));
    else
        notices::warning(parametersTitle(), textAt(99));

    bool stored;
    {
        WaitCursor cursor;
        stored = storeBoardParameters(retry::storeOnce);
    }
    notices::information(parametersTitle(), textAt(stored ? 84 : 66));
}

void HearthBench::memo() {
    bool stored;
    {
        WaitCursor cursor;
        stored = storeBoardParameters(retry::storeOnce);
    }
    if (stored)
        notices::information(parametersTitle(), textAt(84));
    else
        notices::warning(parametersTitle(), textAt(66));
}

void HearthBench::buildBankButtons() {
    auto *grid = new QGridLayout;
    for (int k = 0; k < 4; ++k) {
        auto *button = new QRadioButton(QStringLiteral("%1 %2").arg(textAt(227)).arg(k + 1));
        button->setCheckable(true);
        button->setChecked(false);
        button->setFont(QFont(QStringLiteral("arial"), 8));
        grid->addWidget(button, k / 2, k % 2);
        bankButtons[k] = button;
        connect(button, &QAbstractButton::clicked, this, &HearthBench::assignDataBank);
    }
    m_ui->parametersButtonLayout->insertLayout(m_ui->parametersButtonLayout->indexOf(m_ui->memoButton) + 1,
                                               grid);
}

void HearthBench::assignDataBank() {
    WaitCursor cursor;
    int bank = 0;
    for (int k = 0; k < 4; ++k)
        if (bankButtons[k] && sender() == bankButtons[k]) bank = k + 1;
    if (bank == 0) return;
    const bool selected = selectBoardBank(bank, retry::bank);
    // The board stores also after a failed selection; that result is not reported.
    storeBoardParameters(retry::bankStore);
    if (selected)
        notices::information(parametersTitle(), textAt(84));
    else
        notices::warning(parametersTitle(), textAt(32));
    cursor.restore();
}
