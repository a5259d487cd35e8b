// The parameter sub-pages of the main window: built from the catalogue once the model is known,
// filled with texts, ranges and units, paged through, and rows marked when the user edits them.
#include "app/texts.h"
#include "parameters/catalogue.h"
#include "ui/hearthbench.h"
#include "ui_hearthbench.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QStackedLayout>
#include <QToolButton>

#include <cmath>

namespace {

constexpr int resetMode = 0;
constexpr int refreshMode = 1;

} // namespace

int HearthBench::parameterRowCount() const {
    // Rows exist only for the model the pages were built for: a board of a bigger model detected
    // later must not lead past them.
    int count = std::min(parameterCount(currentModel), kCatalogueEntries);
    while (count > 0 && !valueBoxes[count - 1])
        --count;
    return count;
}

bool HearthBench::valueBoxEmpty(int position) const {
    return valueBoxes[position]->cleanText().isEmpty();
}

void HearthBench::connectValueBox(int position) {
    connect(valueBoxes[position], &QDoubleSpinBox::valueChanged, this, &HearthBench::userInsertText);
}

void HearthBench::clearSetHighlight(int position) {
    setButtons[position]->setStyleSheet(plainSetButtonStyle);
}

void HearthBench::clearWindowFocus() {
    if (QWidget *focused = QApplication::focusWidget()) focused->clearFocus();
}

void HearthBench::updatePageButtons() {
    m_ui->downParB->setEnabled(currentParameterPage != 0);
    m_ui->upParB->setEnabled(currentParameterPage !=
                             layoutValue(currentModel, QStringLiteral("PARPAGES")) - 1);
}

void HearthBench::buildModelPages() {
    buildParameterPages();
    buildTestPage();
    buildDebugPage();
    if (currentModel == 2 || currentModel == 3) buildBankButtons();
    detectHubaMode();
    fillPages(resetMode);
    pagesBuilt = true;
}

void HearthBench::buildParameterPages() {
    const int model = currentModel;
    const int rows = layoutValue(model, QStringLiteral("ROWSPERCOLUMN"));
    const int generalPages = layoutValue(model, QStringLiteral("GENPARPAGES"));
    const int general = layoutValue(model, QStringLiteral("GENPAR"));
    const int technical = layoutValue(model, QStringLiteral("TECPAR"));
    const int pages = std::min(layoutValue(model, QStringLiteral("PARPAGES")), kMaxParameterPages);
    const int count = std::min(general + technical, kCatalogueEntries);

    currentParameterPage = 0;
    parameterStack = new QStackedLayout(m_ui->parametersGB);
    for (int p = 0; p < pages; ++p) {
        // Slots are filled column by column: slot j is grid row j mod R of column block j div R.
        const int first = p < generalPages ? p * 2 * rows : general + (p - generalPages) * 2 * rows;
        const int end = std::min(p < generalPages ? general : general + technical, count);
        if (first >= end) break; // no row left for this or any later sub-page

        auto *page = new QGroupBox(m_ui->parametersGB);
        auto *grid = new QGridLayout;
        for (int j = 0; j < 2 * rows && first + j < end; ++j) {
            const int position = first + j;
            const int row = j % rows;
            const int column = 5 * (j / rows);

            auto *name = new QLabel(page);
            auto *box = new QDoubleSpinBox(page);
            auto *unit = new QLabel(page);
            auto *show = new QToolButton(page);
            auto *set = new QToolButton(page);
            box->setAlignment(Qt::AlignCenter);
            box->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
            grid->addWidget(name, row, column, Qt::AlignLeft);
            grid->addWidget(box, row, column + 1, Qt::AlignCenter);
            grid->addWidget(unit, row, column + 2, Qt::AlignLeft);
            grid->addWidget(show, row, column + 3, Qt::AlignLeft);
            grid->addWidget(set, row, column + 4, Qt::AlignLeft);

            nameLabels[position] = name;
            valueBoxes[position] = box;
            unitLabels[position] = unit;
            showButtons[position] = show;
            setButtons[position] = set;
            showButtonPositions.insert(show, position);
            setButtonPositions.insert(set, position);
            plainSetButtonStyle = set->styleSheet();

            connectValueBox(position);
            connect(show, &QAbstractButton::clicked, this, &HearthBench::viewParameter);
            connect(set, &QAbstractButton::clicked, this, &HearthBench::setParameter);
        }
        parameterStack->addWidget(page);
        grid->setColumnStretch(4, 60);
        page->setLayout(grid);
        parameterPages.append(page);
    }
}

void HearthBench::fillPages(int mode) {
    const int model = currentModel;
    const int generalPages = layoutValue(model, QStringLiteral("GENPARPAGES"));
    const int technicalPages = layoutValue(model, QStringLiteral("TECPARPAGES"));
    for (int p = 0; p < parameterPages.size(); ++p) {
        const bool general = p < generalPages;
        parameterPages[p]->setTitle(QStringLiteral("%1 %2/%3")
                                        .arg(textAt(general ? 55 : 56))
                                        .arg(general ? p + 1 : p - generalPages + 1)
                                        .arg(general ? generalPages : technicalPages));
    }

    const int count = parameterRowCount();
    for (int i = 0; i < count && valueBoxes[i]; ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        const ParameterRange &r = activeRange(d, hubaMode);
        const DisplayRange range = displayRange(d, hubaMode);
        QDoubleSpinBox *box = valueBoxes[i];

        nameLabels[i]->setText(textAt(r.textIndex));
        nameLabels[i]->setToolTip(parameterCode(d));
        showButtons[i]->setText(textAt(45));
        setButtons[i]->setText(textAt(46));
        unitLabels[i]->setText(unitLabel(r.unit, textAt));
        unitLabels[i]->setToolTip(QStringLiteral("[%0 -> %1]")
                                      .arg(QString::number(range.lo, 'f', r.decimals))
                                      .arg(QString::number(range.hi, 'f', r.decimals)));

        // Ranges change with the signals cut, so filling never marks a row as modified.
        QObject::disconnect(box, nullptr, nullptr, nullptr);
        const bool empty = valueBoxEmpty(i);
        if (mode == resetMode || mode == refreshMode) {
            if (mode == refreshMode && !empty) {
                const double v = box->locale().toDouble(box->cleanText());
                if (v < range.lo || v > range.hi) box->setSpecialValueText(QStringLiteral("----"));
            }
            box->setDecimals(r.decimals);
            box->setSingleStep(std::pow(10.0, -r.decimals));
            box->setRange(range.lo, range.hi);
            if (mode == resetMode || empty) box->clear();
        }
        connectValueBox(i);
    }
}

void HearthBench::showPageOf(int position) {
    if (position < 0 || position >= kCatalogueEntries || !valueBoxes[position] || !parameterStack) return;
    const int index = parameterStack->indexOf(valueBoxes[position]->parentWidget());
    if (index < 0) return;
    parameterStack->setCurrentIndex(index);
    currentParameterPage = index;
    updatePageButtons();
}

void HearthBench::scrollPage() {
    const int last = layoutValue(currentModel, QStringLiteral("PARPAGES")) - 1;
    if (sender() == m_ui->downParB)
        currentParameterPage = std::max(currentParameterPage - 1, 0);
    else if (sender() == m_ui->upParB)
        currentParameterPage = std::max(std::min(currentParameterPage + 1, last), 0);
    updatePageButtons();
    if (!parameterStack || currentParameterPage >= parameterStack->count()) return;
    parameterStack->setCurrentIndex(currentParameterPage);
    for (QWidget *child : parameterStack->currentWidget()->findChildren<QWidget *>())
        child->clearFocus();
}

void HearthBench::userInsertText() {
    const int count = parameterRowCount();
    for (int i = 0; i < count; ++i) {
        if (valueBoxes[i] != sender()) continue;
        if (setButtons[i]->styleSheet() == plainSetButtonStyle) {
            setButtons[i]->setStyleSheet(plainSetButtonStyle +
                                         QStringLiteral("\nbackground-color: rgb(%1, %2, %3);")
                                             .arg(highlightColour[0])
                                             .arg(highlightColour[1])
                                             .arg(highlightColour[2]));
        }
        return;
    }
}
