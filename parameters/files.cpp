// Parameter files: the page values saved to and loaded from ".prm" files.
#include "app/settings.h"
#include "app/texts.h"
#include "parameters/catalogue.h"
#include "parameters/notices.h"
#include "parameters/parameterfile.h"
#include "ui/hearthbench.h"
#include "ui_hearthbench.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QSaveFile>
#include <QSettings>

namespace {

constexpr int refreshMode = 1;

QString fileFilter() {
    return QStringLiteral("%0 %1").arg(textAt(90), QStringLiteral("(*.prm)"));
}

} // namespace

void HearthBench::saveToFile() {
    // Every row needs a value; the first empty one is shown and named.
    const int count = parameterRowCount();
    for (int i = 0; i < count; ++i) {
        if (!valueBoxEmpty(i)) continue;
        showPageOf(i);
        valueBoxes[i]->setFocus();
        const int textIndex = activeRange(descriptor(currentModel, i), hubaMode).textIndex;
        notices::warning(textAt(3), QStringLiteral("\"%0\" %1: %2")
                                        .arg(textAt(textIndex), textAt(83).toLower(), textAt(93).toLower()));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, textAt(91), paramfile::defaultFileName(currentModel, true), fileFilter());
    if (path.isEmpty()) return;
    saveParametersTo(path);
}

bool HearthBench::saveParametersTo(const QString &path) {
    const int count = parameterRowCount();
    QList<double> values;
    for (int i = 0; i < count; ++i)
        values.append(valueBoxes[i]->value());
    const QByteArray content = paramfile::format(
        currentModel, m_ui->versionValue ? m_ui->versionValue->text() : QString(), hubaMode, values);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Written to a temporary file that replaces the target only when complete, so a failure midway
    // never leaves a truncated parameter file behind.
    QSaveFile file(path);
    const bool written =
        file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
    if (!written) file.cancelWriting();
    QApplication::restoreOverrideCursor();
    if (!written) {
        notices::critical(textAt(3), QStringLiteral("%0 %1").arg(textAt(92), path));
        return false;
    }
    notices::information(
        textAt(3),
        QStringLiteral("%0 %1 %2").arg(textAt(94), path.section(QLatin1Char('/'), -1), textAt(95).toLower()));
    return true;
}

void HearthBench::loadFromFile() {
    const QString start =
        QSettings()
            .value(settingkeys::paramsFileName, paramfile::defaultFileName(currentModel, false))
            .toString();
    const QString path = QFileDialog::getOpenFileName(this, textAt(89), start, fileFilter());
    if (path.isEmpty()) return;
    loadParametersFrom(path);
}

bool HearthBench::loadParametersFrom(const QString &path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    clearWindowFocus();
    QSettings().setValue(settingkeys::paramsFileName, path.left(path.lastIndexOf(QLatin1Char('/'))));

    // Read with a bound: a huge or binary file is refused like one that cannot be opened.
    QFile file(path);
    std::optional<QList<paramfile::Line>> lines;
    if (file.open(QIODevice::ReadOnly)) lines = paramfile::parse(file.read(paramfile::kMaxFileBytes + 1));
    file.close();
    if (!lines) {
        QApplication::restoreOverrideCursor();
        notices::information(QCoreApplication::applicationName(),
                             QStringLiteral("%0 %1").arg(textAt(27), path));
        return false;
    }

    const int model = currentModel;
    for (const paramfile::Line &line : *lines) {
        if (const auto *m = std::get_if<paramfile::ModelLine>(&line)) {
            if (!paramfile::modelMatches(m->name, model)) {
                QApplication::restoreOverrideCursor();
                notices::critical(textAt(3), textAt(100));
                return false;
            }
            hubaMode = false;
            fillPages(refreshMode);
        } else if (const auto *h = std::get_if<paramfile::HubaLine>(&line)) {
            if (h->value == 1) {
                hubaMode = true;
                fillPages(refreshMode);
            }
        } else if (const auto *v = std::get_if<paramfile::ValueLine>(&line)) {
            const auto position = findByCode(model, v->table, v->displayNumber);
            if (!position || *position >= parameterRowCount() || !valueBoxes[*position]) continue;
            // Loaded values do not mark their rows as modified.
            QDoubleSpinBox *box = valueBoxes[*position];
            QObject::disconnect(box, nullptr, nullptr, nullptr);
            box->setValue(v->value);
            connectValueBox(*position);
        }
    }
    QApplication::restoreOverrideCursor();
    return true;
}
