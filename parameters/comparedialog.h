// The rows whose page value differs from the board's, with both values and their units, and the
// choice to write the different rows or all rows.
#pragma once

#include "board/stovemodel.h"
#include "parameters/boardrows.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

class CompareDialog : public QDialog {
    Q_OBJECT

public:
    enum Choice { Nothing, WriteDifferent, WriteAll };

    // `hubaMode`: the range group the comparison was made in (names, decimals and units follow it).
    CompareDialog(StoveModel model, bool hubaMode, const Comparison &comparison, QWidget *parent = nullptr);

    // What the user chose when the dialog closed.
    Choice choice() const { return m_choice; }

    QTableWidget *table() const { return m_table; }
    QLabel *summary() const { return m_summary; }
    QPushButton *writeDifferentButton() const { return m_writeDifferent; }
    QPushButton *writeAllButton() const { return m_writeAll; }

private:
    void choose(Choice choice);

    Choice m_choice = Nothing;
    QTableWidget *m_table = nullptr;
    QLabel *m_summary = nullptr;
    QPushButton *m_writeDifferent = nullptr;
    QPushButton *m_writeAll = nullptr;
};
