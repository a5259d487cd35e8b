// Parameter files: the page values saved to and loaded from ".prm" files.
#include "app/messages.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "parameters/catalogue.h"
#include "parameters/parameterfile.h"
#include "parameters/parameterspage.h"

#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QSettings>

namespace {

QString fileFilter() {
    return QStringLiteral("%0 %1").arg(textAt(Text::Files), QStringLiteral("(*.prm)"));
}

} // namespace

void ParametersPage::saveToFile() {
    // Every row needs a value; the first one without is shown and named.
    for (int i = 0; i < rowCount(); ++i) {
        if (hasKnownValue(i)) continue;
        showSubPageOf(i);
        m_rows[i].value->setFocus();
        messages::warning(textAt(Text::Parameters), QStringLiteral("\"%0\" %1: %2")
                                                        .arg(rowName(i), textAt(Text::Wrong).toLower(),
                                                             textAt(Text::CannotWriteToFile).toLower()));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, textAt(Text::SaveAs), paramfile::defaultFileName(m_session.model(), true), fileFilter());
    if (path.isEmpty()) return;
    saveParametersTo(path);
}

bool ParametersPage::saveParametersTo(const QString &path) {
    QList<double> values;
    for (const Row &row : m_rows)
        values.append(row.value->value());
    const QByteArray content =
        paramfile::format(m_session.model(), m_session.firmwareVersion(), m_session.hubaMode(), values);

    bool written;
    {
        WaitCursor cursor;
        written = paramfile::writeFile(path, content);
    }
    if (!written) {
        messages::critical(textAt(Text::Parameters),
                           QStringLiteral("%0 %1").arg(textAt(Text::FileWritingError), path));
        return false;
    }
    messages::information(textAt(Text::Parameters),
                          QStringLiteral("%0 %1 %2")
                              .arg(textAt(Text::FileWriting), path.section(QLatin1Char('/'), -1),
                                   textAt(Text::Succeeded).toLower()));
    return true;
}

void ParametersPage::loadFromFile() {
    const QString start =
        QSettings()
            .value(settingkeys::paramsFileName, paramfile::defaultFileName(m_session.model(), false))
            .toString();
    const QString path =
        QFileDialog::getOpenFileName(this, textAt(Text::SelectFileToOpen), start, fileFilter());
    if (path.isEmpty()) return;
    loadParametersFrom(path);
}

bool ParametersPage::loadParametersFrom(const QString &path) {
    WaitCursor cursor;
    clearWindowFocus();
    QSettings().setValue(settingkeys::paramsFileName, path.left(path.lastIndexOf(QLatin1Char('/'))));

    // Read with a bound: a huge or binary file is refused like one that cannot be opened.
    QFile file(path);
    std::optional<QList<paramfile::Line>> lines;
    if (file.open(QIODevice::ReadOnly)) lines = paramfile::parse(file.read(paramfile::kMaxFileBytes + 1));
    file.close();
    if (!lines) {
        cursor.restore();
        messages::information(QCoreApplication::applicationName(),
                              QStringLiteral("%0 %1").arg(textAt(Text::CannotReadFile), path));
        return false;
    }

    const bool loaded = paramfile::applyLines(
        m_session.model(), *lines,
        [this](bool hubaMode) {
            m_session.setHubaMode(hubaMode);
            fillPages(FillMode::Refresh);
        },
        // Loaded values do not mark their rows as modified.
        [this](int position, double value) {
            if (position < rowCount()) setRowValue(position, value);
        });
    if (!loaded) {
        cursor.restore();
        messages::critical(textAt(Text::Parameters), textAt(Text::FileNotCompatible));
    }
    return loaded;
}
