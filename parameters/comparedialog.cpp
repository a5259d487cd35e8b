#include "parameters/comparedialog.h"

#include "app/texts.h"
#include "parameters/catalogue.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum Column { NameColumn, PageColumn, BoardColumn, UnitColumn, ColumnCount };
} // namespace

CompareDialog::CompareDialog(StoveModel model, bool hubaMode, const Comparison &comparison, QWidget *parent)
    : QDialog(parent) {
    setWindowTitle(textAt(Text::CompareWithBoard));
    auto *layout = new QVBoxLayout(this);

    QString summary = textAt(Text::CompareSummary)
                          .arg(comparison.compared)
                          .arg(parameterCount(model))
                          .arg(comparison.differences.size());
    if (comparison.unread > 0)
        summary += QLatin1Char('\n') + textAt(Text::NotReadFromBoard).arg(comparison.unread);
    if (comparison.differences.isEmpty()) summary += QLatin1Char('\n') + textAt(Text::BoardHoldsPageValues);
    m_summary = new QLabel(summary, this);
    m_summary->setObjectName(QStringLiteral("compareSummary"));
    layout->addWidget(m_summary);

    m_table = new QTableWidget(static_cast<int>(comparison.differences.size()), ColumnCount, this);
    m_table->setObjectName(QStringLiteral("differencesTable"));
    m_table->setHorizontalHeaderLabels(
        {textAt(Text::ParameterName), textAt(Text::OnThePage), textAt(Text::OnTheBoard), textAt(Text::Unit)});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setFocusPolicy(Qt::NoFocus);
    QStringList codes;
    for (int r = 0; r < comparison.differences.size(); ++r) {
        const RowDifference &difference = comparison.differences[r];
        const ParameterDescriptor &d = descriptor(model, difference.position);
        codes.append(parameterCode(d));
        const auto cell = [this, r](int column, const QString &text, Qt::Alignment alignment) {
            auto *item = new QTableWidgetItem(text);
            item->setTextAlignment(alignment | Qt::AlignVCenter);
            m_table->setItem(r, column, item);
        };
        cell(NameColumn, parameterName(d, hubaMode, textAt), Qt::AlignLeft);
        cell(PageColumn, valueText(d, hubaMode, difference.value), Qt::AlignRight);
        cell(BoardColumn, valueText(d, hubaMode, difference.board), Qt::AlignRight);
        cell(UnitColumn, unitLabel(activeRange(d, hubaMode).unit, textAt), Qt::AlignLeft);
    }
    m_table->setVerticalHeaderLabels(codes);
    m_table->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    m_table->resizeColumnsToContents();
    m_table->setVisible(!comparison.differences.isEmpty());
    layout->addWidget(m_table);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_writeDifferent = buttons->addButton(textAt(Text::WriteTheDifferentOnes), QDialogButtonBox::ActionRole);
    m_writeDifferent->setObjectName(QStringLiteral("writeDifferentButton"));
    m_writeDifferent->setEnabled(!comparison.differences.isEmpty());
    m_writeAll = buttons->addButton(textAt(Text::SetAll), QDialogButtonBox::ActionRole);
    m_writeAll->setObjectName(QStringLiteral("writeAllButton"));
    connect(m_writeDifferent, &QPushButton::clicked, this, [this] { choose(WriteDifferent); });
    connect(m_writeAll, &QPushButton::clicked, this, [this] { choose(WriteAll); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Room for the rows up to a screenful; more scroll.
    constexpr int kRowHeight = 30;
    constexpr int kMaxRowsShown = 12;
    resize(640, comparison.differences.isEmpty()
                    ? 140
                    : 130 + kRowHeight * std::min<int>(kMaxRowsShown, comparison.differences.size()));
}

void CompareDialog::choose(Choice choice) {
    m_choice = choice;
    accept();
}
