// Building the parameter sub-pages from the catalogue once the model is known, filling them with
// texts, ranges and units, paging through them, and marking rows the user edits.
#include "parameters/parameterspage.h"

#include "app/messages.h"
#include "app/session.h"
#include "app/texts.h"
#include "parameters/catalogue.h"
#include "ui_parameterspage.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QToolButton>

#include <cmath>

namespace {
// The columns of one row in a sub-page's grid; a sub-page holds two blocks of rows side by side.
enum Column { NameColumn, ValueColumn, UnitColumn, ShowColumn, SetColumn, ColumnsPerBlock };
constexpr int kBlocksPerPage = 2;
constexpr int kSetColumnStretch = 60;
constexpr int kBanks = 4;
// Shown instead of a value that the new range group cannot hold.
const QString kOutOfRangeText = QStringLiteral("----");
} // namespace

ParametersPage::ParametersPage(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_ui(std::make_unique<Ui::ParametersPageForm>()) {
    m_ui->setupUi(this);
    // There is no sub-page before the first one.
    m_ui->downParB->setEnabled(false);
    connect(m_ui->upParB, &QAbstractButton::clicked, this, [this] { scrollPage(true); });
    connect(m_ui->downParB, &QAbstractButton::clicked, this, [this] { scrollPage(false); });
    connect(m_ui->memoButton, &QAbstractButton::clicked, this, &ParametersPage::memo);
    connect(m_ui->viewAllButton, &QAbstractButton::clicked, this, &ParametersPage::viewAll);
    connect(m_ui->setAllButton, &QAbstractButton::clicked, this, &ParametersPage::setAll);
    connect(m_ui->writeToFile, &QAbstractButton::clicked, this, &ParametersPage::saveToFile);
    connect(m_ui->readFromFile, &QAbstractButton::clicked, this, &ParametersPage::loadFromFile);
    connect(m_ui->compareButton, &QAbstractButton::clicked, this, &ParametersPage::showComparison);
    connect(m_ui->homeBPar, &QAbstractButton::clicked, this, &ParametersPage::homeRequested);
}

ParametersPage::~ParametersPage() = default;

void ParametersPage::applyTexts() {
    m_ui->memoButton->setToolTip(plainToolTip(textAt(Text::StoreOnBoard)));
    m_ui->viewAllButton->setToolTip(plainToolTip(textAt(Text::ViewAll)));
    m_ui->setAllButton->setToolTip(plainToolTip(textAt(Text::SetAll)));
    m_ui->writeToFile->setToolTip(plainToolTip(textAt(Text::SaveToFile)));
    m_ui->readFromFile->setToolTip(plainToolTip(textAt(Text::LoadFromFile)));
    m_ui->compareButton->setToolTip(plainToolTip(textAt(Text::CompareWithBoard)));
    for (int k = 0; k < m_bankButtons.size(); ++k)
        m_bankButtons[k]->setText(QStringLiteral("%1 %2").arg(textAt(Text::Bank)).arg(k + 1));
}

QLabel *ParametersPage::nameLabel(int row) const {
    return m_rows.value(row).name;
}
QDoubleSpinBox *ParametersPage::valueBox(int row) const {
    return m_rows.value(row).value;
}
QLabel *ParametersPage::unitLabel(int row) const {
    return m_rows.value(row).unit;
}
QToolButton *ParametersPage::showButton(int row) const {
    return m_rows.value(row).show;
}
QToolButton *ParametersPage::setButton(int row) const {
    return m_rows.value(row).set;
}

bool ParametersPage::isMarked(int row) const {
    return row >= 0 && row < rowCount() && m_rows[row].set->styleSheet() != m_plainSetStyle;
}

bool ParametersPage::hasKnownValue(int row) const {
    return row >= 0 && row < rowCount() && !m_rows[row].readFailed &&
           !m_rows[row].value->cleanText().isEmpty();
}

void ParametersPage::build() {
    buildRows();
    const StoveModel model = m_session.model();
    if (model == StoveModel::Water || model == StoveModel::AirDucted) buildBankButtons();
    detectHubaMode();
    fillPages(FillMode::Reset);
}

void ParametersPage::buildRows() {
    const StoveModel model = m_session.model();
    const int rows = layoutValue(model, QStringLiteral("ROWSPERCOLUMN"));
    const int generalPages = layoutValue(model, QStringLiteral("GENPARPAGES"));
    const int general = layoutValue(model, QStringLiteral("GENPAR"));
    const int technical = layoutValue(model, QStringLiteral("TECPAR"));
    const int pages = std::min(layoutValue(model, QStringLiteral("PARPAGES")), kMaxParameterPages);
    const int count = std::min(general + technical, kCatalogueEntries);
    const int perPage = kBlocksPerPage * rows;

    m_currentSubPage = 0;
    m_stack = new QStackedLayout(m_ui->parametersGB);
    for (int p = 0; p < pages; ++p) {
        // Rows fill a sub-page column block by column block: row j sits in grid row j mod R of block
        // j div R.
        const int first = p < generalPages ? p * perPage : general + (p - generalPages) * perPage;
        const int end = std::min(p < generalPages ? general : general + technical, count);
        if (first >= end) break; // no row left for this or any later sub-page

        auto *page = new QGroupBox(m_ui->parametersGB);
        auto *grid = new QGridLayout;
        for (int j = 0; j < perPage && first + j < end; ++j) {
            const int position = first + j;
            const int gridRow = j % rows;
            const int column = ColumnsPerBlock * (j / rows);

            Row row;
            row.name = new QLabel(page);
            row.value = new QDoubleSpinBox(page);
            row.unit = new QLabel(page);
            row.show = new QToolButton(page);
            row.set = new QToolButton(page);
            row.value->setAlignment(Qt::AlignCenter);
            row.value->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
            grid->addWidget(row.name, gridRow, column + NameColumn, Qt::AlignLeft);
            grid->addWidget(row.value, gridRow, column + ValueColumn, Qt::AlignCenter);
            grid->addWidget(row.unit, gridRow, column + UnitColumn, Qt::AlignLeft);
            grid->addWidget(row.show, gridRow, column + ShowColumn, Qt::AlignLeft);
            grid->addWidget(row.set, gridRow, column + SetColumn, Qt::AlignLeft);
            m_plainSetStyle = row.set->styleSheet();

            connect(row.value, &QDoubleSpinBox::valueChanged, this,
                    [this, position] { onUserEdit(position); });
            connect(row.value, &QDoubleSpinBox::textChanged, this,
                    [this, position] { onUserEdit(position); });
            connect(row.show, &QAbstractButton::clicked, this, [this, position] { viewRow(position); });
            connect(row.set, &QAbstractButton::clicked, this, [this, position] { setRow(position); });
            m_rows.append(row);
        }
        m_stack->addWidget(page);
        grid->setColumnStretch(SetColumn, kSetColumnStretch);
        page->setLayout(grid);
        m_subPages.append(page);
    }
}

void ParametersPage::buildBankButtons() {
    auto *grid = new QGridLayout;
    for (int k = 0; k < kBanks; ++k) {
        auto *button = new QRadioButton(QStringLiteral("%1 %2").arg(textAt(Text::Bank)).arg(k + 1));
        button->setCheckable(true);
        button->setChecked(false);
        button->setFont(QFont(QStringLiteral("arial"), 8));
        grid->addWidget(button, k / 2, k % 2);
        m_bankButtons.append(button);
        connect(button, &QAbstractButton::clicked, this, [this, k] { selectBank(k + 1); });
    }
    m_ui->parametersButtonLayout->insertLayout(m_ui->parametersButtonLayout->indexOf(m_ui->memoButton) + 1,
                                               grid);
}

QString ParametersPage::rowName(int row) const {
    return parameterName(descriptor(m_session.model(), row), m_session.hubaMode(), textAt);
}

void ParametersPage::fillPages(FillMode mode) {
    const StoveModel model = m_session.model();
    const bool huba = m_session.hubaMode();
    const int generalPages = layoutValue(model, QStringLiteral("GENPARPAGES"));
    const int technicalPages = layoutValue(model, QStringLiteral("TECPARPAGES"));
    for (int p = 0; p < m_subPages.size(); ++p) {
        const bool general = p < generalPages;
        m_subPages[p]->setTitle(
            QStringLiteral("%1 %2/%3")
                .arg(textAt(general ? Text::GeneralParameters : Text::TechnicalParameters))
                .arg(general ? p + 1 : p - generalPages + 1)
                .arg(general ? generalPages : technicalPages));
    }

    for (int i = 0; i < rowCount(); ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        const ParameterRange &r = activeRange(d, huba);
        const DisplayRange range = displayRange(d, huba);
        Row &row = m_rows[i];

        row.name->setText(rowName(i));
        row.name->setToolTip(parameterCode(d));
        row.show->setText(textAt(Text::Show));
        row.set->setText(textAt(Text::Set));
        row.unit->setText(::unitLabel(r.unit, textAt));
        row.unit->setToolTip(QStringLiteral("[%0 -> %1]")
                                 .arg(QString::number(range.lo, 'f', r.decimals))
                                 .arg(QString::number(range.hi, 'f', r.decimals)));

        // Ranges change with the signals blocked, so filling never marks a row as modified.
        const QSignalBlocker blocker(row.value);
        const bool known = hasKnownValue(i);
        if (mode == FillMode::Refresh && known) {
            const double v = row.value->locale().toDouble(row.value->cleanText());
            if (v < range.lo || v > range.hi) row.value->setSpecialValueText(kOutOfRangeText);
        }
        row.value->setDecimals(r.decimals);
        row.value->setSingleStep(std::pow(10.0, -r.decimals));
        row.value->setRange(range.lo, range.hi);
        if (mode == FillMode::Reset) {
            row.readFailed = false;
            clearRow(i);
        } else if (row.readFailed) {
            showReadFailure(i);
        } else if (!known) {
            clearRow(i);
        }
    }
}

void ParametersPage::setSubPageStyleSheet(const QString &styleSheet) {
    for (QGroupBox *page : m_subPages)
        page->setStyleSheet(styleSheet);
}

void ParametersPage::clearRow(int row) {
    const QSignalBlocker blocker(m_rows[row].value);
    m_rows[row].value->clear();
}

void ParametersPage::setRowValue(int row, double value) {
    Row &r = m_rows[row];
    const QSignalBlocker blocker(r.value);
    r.readFailed = false;
    // A value always shows as a number, also the minimum, which a spin box would show as its
    // special text.
    r.value->setSpecialValueText(QString());
    r.value->setValue(value);
}

void ParametersPage::showReadFailure(int row) {
    Row &r = m_rows[row];
    const QSignalBlocker blocker(r.value);
    r.readFailed = true;
    r.value->setSpecialValueText(QStringLiteral("ERR"));
    r.value->setValue(r.value->minimum());
}

void ParametersPage::showSubPageOf(int row) {
    if (row < 0 || row >= rowCount() || m_stack == nullptr) return;
    const int index = m_stack->indexOf(m_rows[row].value->parentWidget());
    if (index < 0) return;
    m_stack->setCurrentIndex(index);
    m_currentSubPage = index;
    updatePageButtons();
}

void ParametersPage::updatePageButtons() {
    m_ui->downParB->setEnabled(m_currentSubPage != 0);
    m_ui->upParB->setEnabled(m_currentSubPage !=
                             layoutValue(m_session.model(), QStringLiteral("PARPAGES")) - 1);
}

void ParametersPage::scrollPage(bool forward) {
    const int last = layoutValue(m_session.model(), QStringLiteral("PARPAGES")) - 1;
    if (forward)
        m_currentSubPage = std::max(std::min(m_currentSubPage + 1, last), 0);
    else
        m_currentSubPage = std::max(m_currentSubPage - 1, 0);
    updatePageButtons();
    if (m_stack == nullptr || m_currentSubPage >= m_stack->count()) return;
    m_stack->setCurrentIndex(m_currentSubPage);
    for (QWidget *child : m_stack->currentWidget()->findChildren<QWidget *>())
        child->clearFocus();
}

void ParametersPage::onUserEdit(int row) {
    Row &r = m_rows[row];
    // A value typed into a row that showed "ERR" is a known value from now on.
    if (r.readFailed && r.value->text() != r.value->specialValueText()) {
        r.readFailed = false;
        const QSignalBlocker blocker(r.value);
        r.value->setSpecialValueText(QString());
    }
    if (r.set->styleSheet() != m_plainSetStyle) return;
    r.set->setStyleSheet(m_plainSetStyle + QStringLiteral("\nbackground-color: rgb(%1, %2, %3);")
                                               .arg(m_highlight.red())
                                               .arg(m_highlight.green())
                                               .arg(m_highlight.blue()));
}

void ParametersPage::clearMark(int row) {
    m_rows[row].set->setStyleSheet(m_plainSetStyle);
}

void ParametersPage::clearWindowFocus() {
    if (QWidget *focused = QApplication::focusWidget()) focused->clearFocus();
}
