// The parameters page: the model's general and technical parameters on sub-pages of rows (name,
// value box, unit, Show, Set), the buttons that read, write and store them all or compare them with
// the board, the parameter banks of the WATER and AIR - DUCTED boards, and the parameter files.
#pragma once

#include "board/stovemodel.h"
#include "parameters/boardrows.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QStackedLayout;
class QToolButton;
class Session;

namespace Ui {
class ParametersPageForm;
}

class ParametersPage : public QWidget {
    Q_OBJECT

public:
    // Reset empties every value box; Refresh keeps the values and adapts texts and ranges.
    enum class FillMode { Reset, Refresh };

    explicit ParametersPage(Session &session, QWidget *parent = nullptr);
    ~ParametersPage() override;

    // Tool tips of the page's buttons in the language in use.
    void applyTexts();

    // Builds the rows of the detected model, its bank buttons, reads the range group from the board
    // and fills the rows (no value known). Run once, at the first detection.
    void build();
    bool isBuilt() const { return !m_rows.isEmpty(); }
    // Texts, ranges and units of every row for the current range group.
    void fillPages(FillMode mode);
    // Gives the sub-pages the style sheet of small screens.
    void setSubPageStyleSheet(const QString &styleSheet);

    // The page's operations, as its buttons run them.
    void viewRow(int row);
    void setRow(int row);
    void viewAll();
    void setAll();
    // Set all limited to the given rows: flags words change only in those rows' bits.
    void setRows(const QList<int> &rows);
    // Reads the board (the rows keep their values) and compares: nothing when the user stopped it.
    std::optional<Comparison> compareWithBoard();
    // "Compare with board": the comparison in a dialog, from which the different rows or all rows
    // can be written.
    void showComparison();
    void memo();
    void selectBank(int bank);
    void scrollPage(bool forward);
    void saveToFile();
    void loadFromFile();
    // The file operations without their dialogs. False when nothing (or not everything) was done;
    // the user has been told.
    bool saveParametersTo(const QString &path);
    bool loadParametersFrom(const QString &path);

    // The rows and sub-pages as the user sees them.
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    QLabel *nameLabel(int row) const;
    QDoubleSpinBox *valueBox(int row) const;
    QLabel *unitLabel(int row) const;
    QToolButton *showButton(int row) const;
    QToolButton *setButton(int row) const;
    // True while the row's value was typed and not yet written or read again.
    bool isMarked(int row) const;
    // True when the row holds a value that was read, typed or loaded (not empty, not "ERR").
    bool hasKnownValue(int row) const;
    // The bank buttons (none for BASIC boards).
    QList<QRadioButton *> bankButtons() const { return m_bankButtons; }
    QList<QGroupBox *> subPages() const { return m_subPages; }
    int currentSubPage() const { return m_currentSubPage; }
    void showSubPageOf(int row);

    // The colour that marks rows edited from now on.
    QColor highlight() const { return m_highlight; }
    void setHighlight(const QColor &colour) { m_highlight = colour; }

signals:
    void homeRequested();

private:
    // The widgets of one row and whether its last read failed (it shows "ERR" until a value is read,
    // typed or loaded).
    struct Row {
        QLabel *name = nullptr;
        QDoubleSpinBox *value = nullptr;
        QLabel *unit = nullptr;
        QToolButton *show = nullptr;
        QToolButton *set = nullptr;
        bool readFailed = false;
    };

    void buildRows();
    void buildBankButtons();
    void detectHubaMode();
    QString rowName(int row) const;
    void readRowFromBoard(int row, bool viewingAll);
    // Set all, or Set all of some rows.
    void writeRows(const std::optional<QList<int>> &only);
    void showReadValue(int row, double value);
    void showReadFailure(int row);
    void setRowValue(int row, double value);
    void clearRow(int row);
    void onUserEdit(int row);
    void clearMark(int row);
    void updatePageButtons();
    void clearWindowFocus();
    // Shows the message that names a row without a known value; true when `row` has one.
    bool requireKnownValue(int row);

    Session &m_session;
    std::unique_ptr<Ui::ParametersPageForm> m_ui;
    QStackedLayout *m_stack = nullptr;
    QList<QGroupBox *> m_subPages;
    QList<Row> m_rows;
    QList<QRadioButton *> m_bankButtons;
    int m_currentSubPage = 0;
    QString m_plainSetStyle;
    QColor m_highlight{237, 46, 41};
};
