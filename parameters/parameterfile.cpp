#include "parameters/parameterfile.h"

#include "parameters/catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace paramfile {

bool writeFile(const QString &path, const QByteArray &content) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(content) == content.size() && file.commit()) return true;
        file.cancelWriting();
        return false;
    }
    // The replacement could not be created beside the file: a folder closed to new files.
    if (!QFileInfo(path).isFile()) return false;
    QFile inPlace(path);
    return inPlace.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           inPlace.write(content) == content.size() && inPlace.flush();
}

QString modelLongName(StoveModel model) {
    return modelName(model, false);
}

QString defaultFileName(StoveModel model, bool lowerCaseModel) {
    const QString name = modelLongName(model);
    return QStringLiteral("par%0default (%1).prm")
        .arg(QDir::separator())
        .arg(lowerCaseModel ? name.toLower() : name);
}

QByteArray format(StoveModel model, const QString &firmware, bool hubaMode, const QList<double> &values) {
    QString text;
    const auto line = [&text](const QString &s) {
        text += s;
        text += QLatin1String("\r\n");
    };
    line(QStringLiteral("MODEL=") + modelLongName(model).toUpper());
    line(QStringLiteral("FIRMWARE=") + firmware.trimmed());
    line(QStringLiteral("HUBA=") + (hubaMode ? QLatin1Char('1') : QLatin1Char('0')));
    const int count = std::min<int>(parameterCount(model), values.size());
    for (int i = 0; i < count; ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        line(parameterCode(d) + QLatin1Char('=') + valueText(d, hubaMode, values[i]));
    }
    return text.toLocal8Bit();
}

std::optional<Line> parseLine(const QString &line) {
    if (line.startsWith(QLatin1String("MODEL"))) return ModelLine{line.section(QLatin1Char('='), -1)};
    if (line.startsWith(QLatin1String("HUBA"))) return HubaLine{line.section(QLatin1Char('='), -1).toInt()};

    // "[G|T]" also admits "|", and letter case is ignored by the match: the prefix is checked
    // separately so that only upper-case "PG" and "PT" count.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("([P][G|T])([\\d]+)[=]([-.,\\d]+)")),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(line);
    if (!m.hasMatch()) return std::nullopt;
    const QString prefix = m.captured(1);
    int table;
    if (prefix == QLatin1String("PG"))
        table = 0;
    else if (prefix == QLatin1String("PT"))
        table = 1;
    else
        return std::nullopt;
    bool ok = false;
    const int number = m.captured(2).toInt(&ok);
    if (!ok) return std::nullopt; // more digits than any display number: no such code
    // Only a plain "." number counts: a "," (also as a thousands separator, "1,000") makes it 0.
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::RejectGroupSeparator);
    const double value = plain.toDouble(m.captured(3), &ok);
    return ValueLine{table, number, ok ? value : 0.0};
}

std::optional<QList<Line>> parse(const QByteArray &content) {
    if (content.size() > kMaxFileBytes) return std::nullopt;
    for (const char c : content) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\r' && u != '\n' && u != '\t') return std::nullopt;
    }
    const QString text = QString::fromLocal8Bit(content);
    QList<Line> lines;
    qsizetype count = 0;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        if (end - start > kMaxLineChars || ++count > kMaxLines) return std::nullopt;
        if (auto l = parseLine(text.mid(start, end - start))) lines.append(*l);
        // One line end: CR LF, LF or CR.
        if (end < text.size() && text[end] == QLatin1Char('\r')) {
            ++end;
            if (end < text.size() && text[end] == QLatin1Char('\n')) ++end;
        } else if (end < text.size()) {
            ++end;
        }
        start = end;
    }
    return lines;
}

bool modelMatches(const QString &name, StoveModel model) {
    return name.compare(modelLongName(model), Qt::CaseInsensitive) == 0;
}

bool applyLines(StoveModel model, const QList<Line> &lines,
                const std::function<void(bool hubaMode)> &selectGroup,
                const std::function<void(int position, double value)> &setValue) {
    for (const Line &line : lines) {
        if (const auto *m = std::get_if<ModelLine>(&line)) {
            if (!modelMatches(m->name, model)) return false;
            selectGroup(false);
        } else if (const auto *h = std::get_if<HubaLine>(&line)) {
            if (h->value == 1) selectGroup(true);
        } else if (const auto *v = std::get_if<ValueLine>(&line)) {
            if (const auto position = findByCode(model, v->table, v->displayNumber))
                setValue(*position, v->value);
        }
    }
    return true;
}

FileRows fileRows(StoveModel model, const QList<Line> &lines, bool hubaMode) {
    FileRows result;
    result.hubaMode = hubaMode;
    result.rows.resize(parameterCount(model));
    const auto fits = [&](int position) {
        const DisplayRange range = displayRange(descriptor(model, position), result.hubaMode);
        const double v = result.rows[position].value;
        if ((v < range.lo || v > range.hi) && !result.outOfRange.contains(position))
            result.outOfRange.append(position);
    };
    result.sameModel = applyLines(
        model, lines,
        [&](bool huba) {
            result.hubaMode = huba;
            for (int i = 0; i < result.rows.size(); ++i)
                if (!result.rows[i].empty) fits(i);
        },
        [&](int position, double value) {
            const double scale =
                std::pow(10.0, activeRange(descriptor(model, position), result.hubaMode).decimals);
            result.rows[position] = RowValue{false, std::round(value * scale) / scale};
            result.outOfRange.removeAll(position);
            fits(position);
        });
    std::sort(result.outOfRange.begin(), result.outOfRange.end());
    return result;
}

} // namespace paramfile
