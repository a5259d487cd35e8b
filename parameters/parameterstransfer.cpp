// Moving parameter values between the page rows and the board: Show and Set of one row, View all,
// Set all, the comparison with the board, storing, and the parameter banks of the WATER and
// AIR - DUCTED boards.
#include "app/messages.h"
#include "app/session.h"
#include "app/texts.h"
#include "parameters/boardrows.h"
#include "parameters/boardtransfer.h"
#include "parameters/catalogue.h"
#include "parameters/comparedialog.h"
#include "parameters/parameterspage.h"
#include "parameters/setall.h"

#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressDialog>
#include <QRadioButton>
#include <QStackedLayout>
#include <QToolButton>

#include <memory>

namespace {

QString parametersTitle() {
    return textAt(Text::Parameters);
}

// The progress dialog of View all and Set all: no parent, frameless with a title hint, modal.
std::unique_ptr<QProgressDialog> progressDialog(const QString &label, int maximum) {
    auto dialog = std::make_unique<QProgressDialog>(nullptr, Qt::FramelessWindowHint | Qt::WindowTitleHint);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setLabelText(label);
    dialog->setCancelButtonText(textAt(Text::Stop));
    dialog->setRange(0, maximum);
    dialog->setMinimumDuration(0);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    return dialog;
}

} // namespace

void ParametersPage::detectHubaMode() {
    const auto position = groupSelectorPosition(m_session.model());
    if (!position) return;
    const ParameterDescriptor &d = descriptor(m_session.model(), *position);
    std::int16_t value = 0;
    if (readBoardParameter(m_session.link(), d.table, d.boardIndex, &value, retry::detectHuba))
        m_session.setHubaMode(value == 2);
}

void ParametersPage::readRowFromBoard(int row, bool viewingAll) {
    const ParameterDescriptor &d = descriptor(m_session.model(), row);
    std::int16_t raw = 0;
    if (readBoardParameter(m_session.link(), d.table, d.boardIndex, &raw,
                           viewingAll ? retry::viewAll : retry::viewOne))
        setRowValue(row, shownValue(d, m_session.hubaMode(), raw));
    else
        showReadFailure(row);
}

bool ParametersPage::requireKnownValue(int row) {
    if (hasKnownValue(row)) return true;
    showSubPageOf(row);
    m_rows[row].value->setFocus();
    messages::information(parametersTitle(), QStringLiteral("%0 %1").arg(m_rows[row].name->text(),
                                                                         textAt(Text::Wrong).toLower()));
    return false;
}

void ParametersPage::viewRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    {
        WaitCursor cursor;
        readRowFromBoard(row, false);
    }
    clearMark(row);
    m_rows[row].value->setFocus();
}

void ParametersPage::viewAll() {
    const int count = rowCount();
    const StoveModel model = m_session.model();
    clearWindowFocus();
    WaitCursor cursor;
    const auto dialog = progressDialog(textAt(Text::ReadingParameters), count);
    // Every row is read on its own, also the bit rows of one flags word, and shows its result at once.
    readRows(
        m_session.link(), model, FlagsWords::ReadPerRow,
        [&](int i) {
            if (i >= count) return false;
            dialog->setValue(i);
            QCoreApplication::processEvents(); // a click on Stop is seen before the next row
            m_stack->setCurrentWidget(m_rows[i].value->parentWidget());
            return !dialog->wasCanceled();
        },
        [&](int i, const RawValue &raw) {
            if (raw)
                setRowValue(i, rowValue(descriptor(model, i), m_session.hubaMode(), *raw));
            else
                showReadFailure(i);
        });
    dialog->setValue(count);
    if (m_stack != nullptr) {
        m_currentSubPage = m_stack->currentIndex();
        updatePageButtons();
    }
    cursor.restore();
    dialog->close();
}

void ParametersPage::setRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    const ParameterDescriptor &d = descriptor(m_session.model(), row);
    QDoubleSpinBox *box = m_rows[row].value;
    // Nothing is written that nobody saw: an empty row, or one whose read failed, sends nothing.
    if (!requireKnownValue(row)) return;
    WaitCursor cursor;

    // A value that stops the service link needs the user's consent.
    if (d.keepsLink == 0 && box->cleanText().toInt() == 1 &&
        !messages::ask(parametersTitle(),
                       textAt(Text::ParameterStopsCommunication) + QStringLiteral("\n") +
                           textAt(Text::DisableOnDisplayContinue),
                       QMessageBox::No)) {
        setRowValue(row, 0);
        clearMark(row);
        return;
    }
    // The group selector switches every row to the ranges of its group before it is written.
    if (d.keepsGroup == 0) {
        m_session.setHubaMode(box->value() == 2);
        fillPages(FillMode::Refresh);
    }

    BoardLink &link = m_session.link();
    bool ok;
    if (d.wholeValue) {
        const ParameterRange &r = activeRange(d, m_session.hubaMode());
        ok = writeBoardParameter(link, d.table, d.boardIndex, toRaw(r.scale, box->value(), d.positive),
                                 retry::setWhole);
    } else {
        // Only this row's bit changes; the other bits keep the board's values.
        std::int16_t word = 0;
        ok = readFlagsWord(link, d.table, d.boardIndex, &word, retry::readFlags);
        if (ok)
            ok = writeBoardParameter(link, d.table, d.boardIndex, applyBit(word, d.bit, box->value()),
                                     retry::writeFlags);
    }
    cursor.restore();
    if (ok) {
        messages::information(parametersTitle(), textAt(Text::ParameterProperlySet));
    } else {
        messages::critical(parametersTitle(), QStringLiteral("%0 %1").arg(textAt(Text::ParameterWritingError),
                                                                          parameterCode(d)));
        clearRow(row); // the board's value is unknown now
    }
    box->setFocus();
    clearMark(row);
}

void ParametersPage::setAll() {
    writeRows(std::nullopt);
}

void ParametersPage::setRows(const QList<int> &rows) {
    writeRows(rows);
}

void ParametersPage::writeRows(const std::optional<QList<int>> &only) {
    const StoveModel model = m_session.model();
    const int count = rowCount();

    // Check: every row must hold a value, and the user must consent to a link-stopping value.
    QList<RowValue> rows;
    for (int i = 0; i < count; ++i)
        rows.append(RowValue{!hasKnownValue(i), m_rows[i].value->value(), !only || only->contains(i)});
    const CheckResult check = checkRows(model, rows, m_session.hubaMode(), [this](int i) {
        const QString question = QStringLiteral("%0 = 1.\n%1\n%2")
                                     .arg(m_rows[i].name->text(), textAt(Text::ParameterStopsCommunication),
                                          textAt(Text::DisableOnDisplayContinue));
        if (messages::ask(parametersTitle(), question, QMessageBox::No)) return true;
        setRowValue(i, 0);
        clearMark(i);
        return false;
    });
    m_session.setHubaMode(check.hubaMode);
    if (check.outcome == CheckResult::EmptyRow) {
        requireKnownValue(check.emptyRow);
        return;
    }
    if (check.outcome == CheckResult::Cancelled) return;

    // Write: one value per board parameter, flags words composed from their bit rows (only the
    // given bits, the others as the board holds them, when some rows are written).
    QList<double> values;
    for (const RowValue &row : rows)
        values.append(row.value);
    const QList<BoardWrite> writes = only ? composeRowWrites(model, values, m_session.hubaMode(), *only)
                                          : composeWrites(model, values, m_session.hubaMode());
    clearWindowFocus();
    bool allOk;
    {
        WaitCursor cursor;
        const auto dialog = progressDialog(textAt(Text::WritingParameters), static_cast<int>(writes.size()));
        allOk = writeBoardParameters(
            m_session.link(), writes,
            [&](int k) {
                dialog->setValue(k);
                QCoreApplication::processEvents();
                m_stack->setCurrentWidget(m_rows[writes[k].positions.first()].value->parentWidget());
                return !dialog->wasCanceled();
            },
            [&](int k, bool) {
                for (int position : writes[k].positions)
                    clearMark(position);
            });
        dialog->setValue(static_cast<int>(writes.size()));
        if (m_stack != nullptr) {
            m_currentSubPage = m_stack->currentIndex();
            updatePageButtons();
        }
        cursor.restore();
        dialog->close();
    }
    if (allOk)
        messages::information(parametersTitle(), textAt(Text::ParametersWritten));
    else
        messages::warning(parametersTitle(), textAt(Text::ParametersNotCorrectlySet));

    bool stored;
    {
        WaitCursor cursor;
        stored = storeBoardParameters(m_session.link(), retry::storeOnce);
    }
    messages::information(parametersTitle(), textAt(stored ? Text::StorageSucceeded : Text::NoResponseError));
}

std::optional<Comparison> ParametersPage::compareWithBoard() {
    const StoveModel model = m_session.model();
    const int count = rowCount();
    QList<RowValue> rows;
    for (int i = 0; i < count; ++i)
        rows.append(RowValue{!hasKnownValue(i), m_rows[i].value->value()});
    clearWindowFocus();
    WaitCursor cursor;
    const auto dialog = progressDialog(textAt(Text::ReadingParameters), count);
    bool cancelled = false;
    // The board's values go into the comparison only; the rows keep what the page holds.
    const QList<RawValue> board = readRows(m_session.link(), model, FlagsWords::ReadOnce, [&](int i) {
        if (i >= count) return false;
        dialog->setValue(i);
        QCoreApplication::processEvents();
        cancelled = dialog->wasCanceled();
        return !cancelled;
    });
    dialog->setValue(count);
    cursor.restore();
    dialog->close();
    if (cancelled) return std::nullopt;
    return compareRows(model, rows, board, m_session.hubaMode());
}

void ParametersPage::showComparison() {
    const auto comparison = compareWithBoard();
    if (!comparison) return;
    CompareDialog dialog(m_session.model(), m_session.hubaMode(), *comparison, this);
    dialog.exec();
    switch (dialog.choice()) {
    case CompareDialog::WriteDifferent: {
        QList<int> rows;
        for (const RowDifference &d : comparison->differences)
            rows.append(d.position);
        setRows(rows);
        break;
    }
    case CompareDialog::WriteAll:
        setAll();
        break;
    case CompareDialog::Nothing:
        break;
    }
}

void ParametersPage::memo() {
    bool stored;
    {
        WaitCursor cursor;
        stored = storeBoardParameters(m_session.link(), retry::storeOnce);
    }
    if (stored)
        messages::information(parametersTitle(), textAt(Text::StorageSucceeded));
    else
        messages::warning(parametersTitle(), textAt(Text::NoResponseError));
}

void ParametersPage::selectBank(int bank) {
    if (bank < 1 || bank > m_bankButtons.size()) return;
    WaitCursor cursor;
    const bool selected = selectBoardBank(m_session.link(), bank, retry::bank);
    // The board is asked to store also after a selection it did not confirm (it may have taken it
    // without its answer arriving); the selection lasts only once stored, so both must be confirmed.
    const bool stored = storeBoardParameters(m_session.link(), retry::bankStore);
    cursor.restore();
    if (selected && stored) {
        messages::information(parametersTitle(), textAt(Text::StorageSucceeded));
        return;
    }
    // Which bank the board will use is unknown now: no button claims one.
    for (QRadioButton *button : m_bankButtons) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
    messages::warning(parametersTitle(), textAt(Text::OperationFailedRetry));
}
