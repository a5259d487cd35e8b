// The graph viewer window on generated recordings: series of every model in both languages, where
// items draw, the reduced drawing against the full one, lists, cursor, zoom, export, every failure
// message, cancelling a read and the file dialog.
#include "app/settings.h"
#include "app/texts.h"
#include "graphs/axes.h"
#include "graphs/brokenline.h"
#include "graphs/graphicsdisplayer.h"
#include "graphs/graphview.h"
#include "graphs/showgraphics.h"
#include "helpers.h"
#include "recordings.h"

#include <QFileDialog>
#include <QGraphicsScene>
#include <QListWidget>
#include <QScrollBar>
#include <QToolButton>

#include <set>
#include <sys/stat.h>

using namespace graphs;
using hbsupport::RecordingPlan;
using hbtest::BoxAnswerer;

namespace {

constexpr QRgb kBlack = 0xff000000;

// Opens a recording as the graphics command does and waits for the outcome.
GraphicsDisplayer *openFile(const QString &path, QWidget *window = nullptr) {
    GraphicsOpener *opener = openRecording(window, path);
    QSignalSpy done(opener, &GraphicsOpener::finished);
    if (!done.wait(120000)) return nullptr;
    return done.at(0).at(0).value<GraphicsDisplayer *>();
}

// Pixels that differ, those that are background in one image only, the greatest difference of a
// colour channel, and the pixels drawn in the first image.
struct Difference {
    int pixels = 0;
    int backgroundInOne = 0;
    int largest = 0;
    int drawn = 0;
};

Difference compare(const QImage &first, const QImage &second) {
    const QImage a = first.convertToFormat(QImage::Format_RGB32),
                 b = second.convertToFormat(QImage::Format_RGB32);
    if (a.size() != b.size()) return {-1, -1, 255, 0};
    Difference d;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (p != kBlack) ++d.drawn;
            if (p == q) continue;
            ++d.pixels;
            d.largest = std::max({d.largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                  std::abs(qBlue(p) - qBlue(q))});
            if ((p == kBlack) != (q == kBlack)) ++d.backgroundInOne;
        }
    return d;
}

// Rows and columns of the pixels that are not background.
QRect drawnArea(const QImage &image, int fromX = 0) {
    QRect area;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = fromX; x < rgb.width(); ++x)
            if (rgb.pixel(x, y) != kBlack) area |= QRect(x, y, 1, 1);
    return area;
}

} // namespace

class GraphWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<hbtest::Sandbox> sandbox;
    std::unique_ptr<BoxAnswerer> answerer;

    QString path(const QString &name) const { return sandbox->workPath() + QLatin1Char('/') + name; }
    QString writeRecording(const QString &name, const RecordingPlan &def) {
        return hbsupport::writeRecording(path(name), def) ? path(name) : QString();
    }
    QString writeFile(const QString &name, const QByteArray &content) {
        return hbtest::writeFile(path(name), content);
    }
    // The viewport with only `shown` drawn, at scale 1 from the start of the recording.
    QImage renderOnly(GraphicsDisplayer *window, const QList<BrokenLine *> &shown) {
        for (BrokenLine *line : window->series())
            line->setVisible(shown.contains(line));
        window->axes()->setVisible(false);
        window->view()->zoomTo(1, 0);
        window->view()->horizontalScrollBar()->setValue(0);
        return window->view()->renderViewport().convertToFormat(QImage::Format_RGB32);
    }

private slots:
    void init() {
        sandbox = std::make_unique<hbtest::Sandbox>();
        answerer = std::make_unique<BoxAnswerer>();
        useDefaultTexts();
        QLocale::setDefault(QLocale::c());
    }
    void cleanup() {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<GraphicsDisplayer *>(w) != nullptr) delete w;
        answerer.reset();
        sandbox.reset();
    }

    void seriesOfEveryModel() {
        // The file's model decides the series.
        const struct {
            RecordedModel model;
            int count;
            std::vector<std::pair<int, QString>> entries;
        } cases[] = {
            {RecordedModel::Basic, 14, {{6, "Potenziometer [°C]"}, {8, "Fuel Correction"}, {13, "Alarms"}}},
            {RecordedModel::Water,
             20,
             {{0, "Smoke Temperature [°C]"}, {6, "Water probe [°C]"}, {15, "wpx 250"}}},
            {RecordedModel::AirDucted,
             19,
             {{6, "Probe channel 1 [°C]"},
              {10, "External thermostat channel 2"},
              {15, "Channel 1 [%]"},
              {16, "Channel 2 [%]"}}},
        };
        for (const auto &c : cases) {
            const QString file = writeRecording(QStringLiteral("m%1.csv").arg(int(c.model)),
                                                {c.model, hbsupport::kDefaultStart, 40, 10});
            GraphicsDisplayer *window = openFile(file);
            QVERIFY(window != nullptr);
            QCOMPARE(window->series().size(), c.count);
            QCOMPARE(window->viewedList()->count(), c.count);
            QCOMPARE(window->unviewedList()->count(), 0);
            for (const auto &[row, text] : c.entries)
                QCOMPARE(window->viewedList()->item(row)->text(), text);
            for (int row = 0; row < c.count; ++row) {
                BrokenLine *line = window->series()[row];
                QCOMPARE(line->listEntry(), window->viewedList()->item(row));
                QCOMPARE(line->listEntry()->foreground().color(), line->colour());
                QCOMPARE(line->sampleCount(), 40);
            }
            QCOMPARE(window->series()[7]->colour(), QColor(255, 75, 3));
            QCOMPARE(window->series()[7]->kind(), SeriesKind::Text);
            QVERIFY(!window->series()[7]->minimum().isValid());
            QCOMPARE(window->windowTitle(), file + QStringLiteral(" - Saturday 09/03/2024 10:00"));
            QCOMPARE(window->view()->scene()->sceneRect().width(), 53.0 * 40);
            QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
        }
        const auto windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](QWidget *w) {
                                   return qobject_cast<GraphicsDisplayer *>(w) != nullptr && w->isVisible();
                               }),
                 3);
        // Kinds, colours and ranges of WATER series.
        GraphicsDisplayer *last = openFile(writeRecording(QStringLiteral("w.csv"), {}));
        QVERIFY(last != nullptr);
        QCOMPARE(last->series()[15]->colour(), QColor(255, 190, 25));
        QCOMPARE(last->series()[8]->kind(), SeriesKind::OnOff);
        QCOMPARE(last->series()[8]->minimum(), QVariant(false));
        QCOMPARE(last->series()[8]->maximum(), QVariant(true));
        const Recording &r = last->series()[0]->recording();
        QCOMPARE(last->series()[0]->minimum().toDouble(), double(r.minimum(0)));
        QCOMPARE(last->series()[0]->maximum().toDouble(), double(r.maximum(0)));
        QVERIFY(r.minimum(0) < r.maximum(0));
        last->close();
        QTRY_VERIFY(!QApplication::topLevelWidgets().contains(last));
    }

    void italianTexts() {
        sandbox->installShippedLanguages();
        QVERIFY(loadLanguageFile(languageFilePath(QStringLiteral("Italiano"))));
        GraphicsDisplayer *window = openFile(writeRecording(QStringLiteral("w.csv"), {}));
        QVERIFY(window != nullptr);
        QCOMPARE(window->viewedList()->item(0)->text(), QStringLiteral("Temperatura fumi [°C]"));
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("unviewedListLabel"))->text(),
                 QStringLiteral("Grafici da nascondere"));
        QCOMPARE(window->exportButton()->text(), QStringLiteral("Esporta in PNG"));
        QVERIFY(openFile(writeFile(QStringLiteral("one.csv"), "MODEL=WATER\n")) == nullptr);
        QCOMPARE(answerer->shown(), QStringList{"information Grafici: Il file contiene meno di due righe di "
                                                "dati: non c'è nessun grafico da mostrare."});
    }

    void itemGeometry() {
        // Constant series: an input always on and one always off, two analogue series and two texts.
        QByteArray content = "MODEL=WATER\n";
        for (qint64 j = 0; j < 30; ++j)
            content += hbsupport::waterLine(hbsupport::kDefaultStart + 90 * j, [&](int c) -> QByteArray {
                switch (c) {
                case 2:
                    return "3";
                case 7:
                    return "Stove On";
                case 8:
                    return "1";
                case 9:
                    return "0";
                case 13:
                    return "1200";
                case 15:
                    return "250";
                default:
                    return hbsupport::field(RecordedModel::Water, c, j * 97);
                }
            });
        GraphicsDisplayer *window = openFile(writeFile(QStringLiteral("g.csv"), content));
        QVERIFY(window != nullptr);
        const QList<BrokenLine *> &series = window->series();
        QCOMPARE(window->textRowPosition(series[7]), 1.0 / 3);
        QCOMPARE(window->textRowPosition(series[13]), 2.0 / 3);
        QCOMPARE(window->flatRowPosition(series[2]), 1.0 / 3);
        QCOMPARE(window->flatRowPosition(series[15]), 2.0 / 3);
        for (int c = 0; c < series.size(); ++c)
            QCOMPARE(series[c]->isFlat(), c == 2 || c == 15);
        QCOMPARE(window->view()->viewportTransform().dy(), 0.0);
        const int height = int(window->plotHeight());
        const int width = window->view()->viewport()->width();

        // On along the top, off along the bottom, across the whole view.
        QCOMPARE(drawnArea(renderOnly(window, {series[8]})), QRect(0, 0, width, 1));
        QCOMPARE(drawnArea(renderOnly(window, {series[9]})), QRect(0, height - 1, width, 2));

        // A constant series lies at its row with every value written along it.
        const QImage flat = renderOnly(window, {series[2]});
        const int row = height / 3;
        std::set<int> written;
        for (int x = 0; x < width; ++x)
            for (int y = 0; y < flat.height(); ++y) {
                const QRgb p = flat.pixel(x, y);
                if (p == kBlack) continue;
                if (qRed(p) == 0) { // the cyan line
                    QVERIFY(std::abs(y - row) <= 1);
                } else { // the white texts, just above it
                    QVERIFY2(y < row && y > row - 16,
                             qPrintable(QStringLiteral("text at %1,%2").arg(x).arg(y)));
                    written.insert(x / 53);
                }
            }
        QCOMPARE(int(written.size()), (width + 52) / 53);

        // Two text series write at 1/3 and 2/3 of the height, right of the line at the start.
        for (auto [line, fraction] : {std::pair{series[7], 1.0 / 3}, std::pair{series[13], 2.0 / 3}}) {
            const QRect text = drawnArea(renderOnly(window, {line}), 4);
            const int baseline = int(height * fraction);
            QVERIFY2(
                text.isValid() && text.bottom() <= baseline + 3 && text.top() >= baseline - 16,
                qPrintable(
                    QStringLiteral("%1..%2 around %3").arg(text.top()).arg(text.bottom()).arg(baseline)));
            QVERIFY(text.left() <= 6);
        }
    }

    void reducedDrawingMatchesFull() {
        // A morning at 1 s, then an appended recording after a pause of an hour.
        QByteArray content =
            hbsupport::recordingText({RecordedModel::Water, hbsupport::kDefaultStart, 12000, 1});
        content +=
            hbsupport::recordingText({RecordedModel::Water, hbsupport::kDefaultStart + 15600, 3000, 1});
        GraphicsDisplayer *window = openFile(writeFile(QStringLiteral("gap.csv"), content));
        QVERIFY(window != nullptr);
        GraphView *view = window->view();
        QScrollBar *bar = view->horizontalScrollBar();
        const auto show = [&](double scale, double where) {
            if (scale == 0)
                view->fitAll();
            else
                view->zoomTo(scale, 0);
            bar->setValue(bar->minimum() + qRound((bar->maximum() - bar->minimum()) * where));
        };
        const auto drawn = [&](Drawing drawing) {
            window->setDrawing(drawing);
            return view->renderViewport();
        };
        // The same pixels at every zoom, aliased and antialiased.
        for (bool antialiased : {false, true}) {
            view->setRenderHint(QPainter::Antialiasing, antialiased);
            for (double scale : {0.0, 0.003, 0.05, 1.0, 3.0}) {
                for (double where : {0.0, 0.37, 0.8, 1.0}) {
                    if (antialiased && where == 0.37) continue;
                    show(scale, where);
                    const Difference d = compare(drawn(Drawing::Reduced), drawn(Drawing::Full));
                    const QString context = QStringLiteral("aa %1 scale %2 at %3: %4 of %5 pixels differ")
                                                .arg(antialiased)
                                                .arg(view->horizontalScale())
                                                .arg(where)
                                                .arg(d.pixels)
                                                .arg(d.drawn);
                    QVERIFY2(d.drawn > 10000 && d.pixels == 0, qPrintable(context));
                }
            }
        }
        // A repaint of part of the view (a scrolled-in strip, the cursor's column) draws what the
        // whole repaint draws there; where samples are far enough apart to be joined by the stroked
        // pen, an edge that the strip cuts may differ by a few levels.
        window->setDrawing(Drawing::Reduced);
        view->setRenderHint(QPainter::Antialiasing, true);
        for (double scale : {0.003, 1.0, 3.0}) {
            show(scale, 0.37);
            const QImage whole = view->renderViewport();
            for (const QRect strip : {QRect(0, 0, 37, whole.height()), QRect(301, 0, 3, whole.height()),
                                      QRect(whole.width() - 52, 0, 52, whole.height())}) {
                QImage part(strip.size(), whole.format());
                part.fill(Qt::black);
                QPainter painter(&part);
                painter.setRenderHints(view->renderHints());
                view->render(&painter, QRectF(QPointF(0, 0), strip.size()), strip);
                painter.end();
                const Difference d = compare(part, whole.copy(strip));

                const bool stroked = scale * kStep >= 32;
                QVERIFY2(stroked ? d.backgroundInOne == 0 && d.largest <= 32 : d.pixels == 0,
                         qPrintable(QStringLiteral("scale %1 strip at %2: %3 pixels differ, by up to %4")
                                        .arg(scale)
                                        .arg(strip.left())
                                        .arg(d.pixels)
                                        .arg(d.largest)));
            }
        }
    }

    void listsHideAndShow() {
        GraphicsDisplayer *window = openFile(writeRecording(QStringLiteral("w.csv"), {}));
        QVERIFY(window != nullptr);
        BrokenLine *smoke = window->series()[0], *air = window->series()[1];
        const auto hasRed = [&] {
            const QImage image = window->view()->renderViewport().convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) == qRgb(255, 0, 0)) return true;
            return false;
        };
        QVERIFY(hasRed());
        emit window->viewedList()->itemActivated(smoke->listEntry());
        emit window->viewedList()->itemActivated(air->listEntry());
        QVERIFY(!smoke->isVisible() && !air->isVisible());
        QCOMPARE(window->viewedList()->count(), 18);
        QCOMPARE(window->unviewedList()->count(), 2);
        QCOMPARE(window->unviewedList()->item(0), smoke->listEntry());
        QCOMPARE(window->viewedList()->item(0)->text(), QStringLiteral("Power"));
        QVERIFY(!hasRed());
        QCOMPARE(smoke->scene(), window->view()->scene()); // hidden series stay with the window
        emit window->unviewedList()->itemActivated(smoke->listEntry());
        QVERIFY(smoke->isVisible());
        QCOMPARE(window->viewedList()->item(18), smoke->listEntry());
        QCOMPARE(window->unviewedList()->count(), 1);
        QVERIFY(hasRed());
    }

    void cursorReadout() {
        GraphicsDisplayer *window = openFile(writeRecording(
            QStringLiteral("w.csv"), {RecordedModel::Water, hbsupport::kDefaultStart, 40, 10}));
        QVERIFY(window != nullptr);
        GraphView *view = window->view();
        view->zoomTo(1, 0);
        view->horizontalScrollBar()->setValue(0);
        emit window->viewedList()->itemActivated(window->series()[1]->listEntry());
        QTest::mouseMove(view->viewport(), QPoint(5 * 53 + 20, 100));
        QCOMPARE(view->cursorX(), 5 * 53 + 20);
        const CursorReadout &readout = view->cursorReadout();
        QCOMPARE(readout.heading, QStringLiteral("09/03/2024 10:00:50"));
        QCOMPARE(readout.lines.size(), 19u);
        QCOMPARE(readout.lines[0].first,
                 "Smoke Temperature: " + QString::fromUtf8(hbsupport::field(RecordedModel::Water, 0, 5)) +
                     " [°C]");
        QCOMPARE(readout.lines[0].second, QColor(Qt::red));
        QCOMPARE(readout.lines[6].first,
                 "Stove Automa Status: " + QString::fromUtf8(hbsupport::field(RecordedModel::Water, 7, 5)));
        // Past the middle between two samples the next one is read.
        QTest::mouseMove(view->viewport(), QPoint(5 * 53 + 30, 100));
        QCOMPARE(view->cursorReadout().heading, QStringLiteral("09/03/2024 10:01:00"));
        // The cursor is drawn on the view but not exported.
        const QImage shown = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage plain = view->renderViewport().convertToFormat(QImage::Format_RGB32);
        QVERIFY(shown.pixel(5 * 53 + 30, 5) != plain.pixel(5 * 53 + 30, 5));
        QCOMPARE(shown.copy(0, 0, 5 * 53 + 30, shown.height()),
                 plain.copy(0, 0, 5 * 53 + 30, plain.height()));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(view->viewport(), &leave);
        QVERIFY(!view->cursorX());
    }

    void fitAllAndZoom() {
        GraphicsDisplayer *window = openFile(writeRecording(
            QStringLiteral("w.csv"), {RecordedModel::Water, hbsupport::kDefaultStart, 3000, 1}));
        QVERIFY(window != nullptr);
        GraphView *view = window->view();
        const double width = view->viewport()->width();
        const double fit = width / (53.0 * 3000);
        QScrollBar *bar = view->horizontalScrollBar();
        QCOMPARE(view->horizontalScale(), 1.0);
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(view->horizontalScale(), fit);
        view->zoomTo(1, 0);
        bar->setValue(5000);
        window->fitAllButton()->click();
        QCOMPARE(view->horizontalScale(), fit);
        QCOMPARE(bar->value(), bar->minimum());

        // The wheel scales by 1.05 around the mouse; the height never changes.
        view->zoomTo(0.5, 0);
        bar->setValue(20000);
        const double anchored = view->sceneXAt(300);
        const auto wheel = [&](int delta) {
            QWheelEvent event(QPointF(300, 50), view->viewport()->mapToGlobal(QPointF(300, 50)), QPoint(),
                              QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view->viewport(), &event);
        };
        wheel(120);
        QCOMPARE(view->horizontalScale(), 0.5 * 1.05);
        QVERIFY(std::abs(view->sceneXAt(300) - anchored) < 2);
        wheel(-120);
        wheel(-120);
        QCOMPARE(view->horizontalScale(), 0.5 / 1.05);
        QCOMPARE(view->transform().m22(), 1.0);
        for (int i = 0; i < 200; ++i)
            wheel(-120);
        QCOMPARE(view->horizontalScale(), fit); // no further than the whole recording
        for (int i = 0; i < 400; ++i)
            wheel(120);
        QCOMPARE(view->horizontalScale(), 64.0); // one interval over 64 steps

        // A right drag, or a left drag with shift, zooms to the dragged range; a plain drag pans.
        for (auto [button, modifier] :
             {std::pair{Qt::RightButton, Qt::NoModifier}, std::pair{Qt::LeftButton, Qt::ShiftModifier}}) {
            view->zoomTo(0.5, 0);
            bar->setValue(1000);
            const double from = view->sceneXAt(100), to = view->sceneXAt(300);
            QTest::mousePress(view->viewport(), button, modifier, QPoint(100, 80));
            QTest::mouseMove(view->viewport(), QPoint(300, 80));
            QTest::mouseRelease(view->viewport(), button, modifier, QPoint(300, 80));
            QVERIFY(std::abs(view->horizontalScale() - width / (to - from)) < 1e-9);
            QVERIFY(std::abs(view->sceneXAt(0) - from) < 1);
        }
        view->zoomTo(0.5, 0);
        bar->setValue(1000);
        QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 80));
        QMouseEvent drag(QEvent::MouseMove, QPointF(200, 80), view->viewport()->mapToGlobal(QPointF(200, 80)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &drag);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 80));
        QCOMPARE(view->horizontalScale(), 0.5);
        QCOMPARE(bar->value(), 1100);
    }

    void exportPng() {
        GraphicsDisplayer *window = openFile(writeRecording(QStringLiteral("w.csv"), {}));
        QVERIFY(window != nullptr);
        const QImage shown = window->view()->renderViewport().convertToFormat(QImage::Format_RGB32);
        hbtest::FileDialogAnswerer dialog(path(QStringLiteral("graph.png")));
        window->exportButton()->click();
        QCOMPARE(dialog.seen.at(0).title, QStringLiteral("Save as"));
        QCOMPARE(dialog.seen.at(0).filters, QStringLiteral("Files (*.png)"));
        QImage saved(path(QStringLiteral("graph.png")), "PNG");
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), shown);
        QVERIFY(answerer->seen.empty());

        // A device that takes no data (replacing it confirmed): the export fails for every user,
        // root included.
        dialog.answer = QStringLiteral("/dev/full");
        answerer->queue(QMessageBox::Yes);
        window->exportButton()->click();
        QCOMPARE(answerer->shown().value(1),
                 QStringLiteral("critical Hearth Bench: Impossible to write to file "
                                "/dev/full"));
        dialog.answer.clear();
        window->exportButton()->click();
        QCOMPARE(answerer->seen.size(), 2u);
    }

    void failureMessages() {
        const QString notCompatible = QStringLiteral(
            "The selected file has been modified by another program and is not compatible withHearth Bench");
        const QString missing = path(QStringLiteral("missing.csv"));
        QByteArray binary(300000, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char((unsigned(i) * 2654435761u) >> 24);
        const QByteArray oneLine = "MODEL=BASIC\n" + hbsupport::dataLine(RecordedModel::Basic, 0, 0);
        const struct {
            QString file;
            std::vector<std::tuple<QMessageBox::Icon, QString, QString>> boxes;
        } cases[] = {
            {missing,
             {{QMessageBox::Information, "Hearth Bench",
               "Cannot open file " + missing + " for reading parameter MODEL"},
              {QMessageBox::Critical, "Graphics", notCompatible}}},
            {writeFile("nomodel.csv", hbsupport::dataLine(RecordedModel::Water, 0, 0)),
             {{QMessageBox::Critical, "Graphics", notCompatible}}},
            {writeFile("binary.csv", binary), {{QMessageBox::Critical, "Graphics", notCompatible}}},
            {writeFile("long.csv", QByteArray(8 << 20, 'x')),
             {{QMessageBox::Critical, "Graphics", notCompatible}}},
            {writeFile("gas.csv", "MODEL=GAS\n" + hbsupport::dataLine(RecordedModel::Water, 0, 0)), {}},
            {writeFile("empty.csv", "MODEL=WATER\n"),
             {{QMessageBox::Information, "Graphics",
               "The file holds fewer than two data lines: there is no graph to show."}}},
            {writeFile("one.csv", oneLine),
             {{QMessageBox::Information, "Graphics",
               "The file holds fewer than two data lines: there is no graph to show."}}},
        };
        for (const auto &c : cases) {
            answerer->seen.clear();
            QVERIFY2(openFile(c.file) == nullptr, qPrintable(c.file));
            QCOMPARE(answerer->seen.size(), c.boxes.size());
            for (std::size_t i = 0; i < c.boxes.size(); ++i) {
                QCOMPARE(answerer->seen[i].icon, std::get<0>(c.boxes[i]));
                QCOMPARE(answerer->seen[i].title, std::get<1>(c.boxes[i]));
                QCOMPARE(answerer->seen[i].text, std::get<2>(c.boxes[i]));
                QVERIFY(!answerer->seen[i].hadParent);
                QVERIFY(!answerer->seen[i].cursorOverridden);
            }
            QVERIFY(QApplication::overrideCursor() == nullptr);
        }
        const auto windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.begin(), windows.end(),
                             [](QWidget *w) { return qobject_cast<GraphicsDisplayer *>(w) != nullptr; }));
        // Two data lines are enough; without an interval in the file, the stamps give it.
        GraphicsDisplayer *window =
            openFile(writeFile("two.csv", oneLine + hbsupport::dataLine(RecordedModel::Basic, 7, 1)));
        QVERIFY(window != nullptr);
        QCOMPARE(window->view()->scene()->sceneRect().width(), 53.0 * 2);
    }

    void cancelLoading() {
        // The file is a pipe that gives nothing until the read has been stopped.
        const QString pipe = path(QStringLiteral("pipe.csv"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        GraphicsOpener *opener = openRecording(nullptr, pipe);
        QSignalSpy done(opener, &GraphicsOpener::finished);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(opener->progressDialog()->labelText(), QStringLiteral("Loading the recording..."));
        QPushButton *stop = opener->progressDialog()->findChild<QPushButton *>();
        QCOMPARE(stop->text(), QStringLiteral("Stop"));
        stop->click();
        // Opening the other end lets the read start; it stops before reading anything.
        QFile writer(pipe);
        QVERIFY(writer.open(QIODevice::WriteOnly));
        writer.close();
        QVERIFY(done.wait(30000));
        QVERIFY(done.at(0).at(0).value<GraphicsDisplayer *>() == nullptr);
        QVERIFY(answerer->seen.empty());
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // A window closed while its file is read stops the read.
        auto *main = new QWidget;
        QPointer<GraphicsOpener> orphan = openRecording(main, pipe);
        delete main;
        QVERIFY(orphan.isNull());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(writer.open(QIODevice::WriteOnly));
        writer.close();
        QTest::qWait(200);
    }

    void fileDialog() {
        auto main = std::make_unique<QWidget>();
        const QString file = writeRecording(QStringLiteral("w.csv"), {});
        hbtest::FileDialogAnswerer dialog(file);
        showGraphics(main.get());
        QCOMPARE(dialog.seen.at(0).title, QStringLiteral("Select a file to open"));
        QCOMPARE(dialog.seen.at(0).filters, QStringLiteral("Files (*.csv)"));
        auto *opener = main->findChild<GraphicsOpener *>();
        QVERIFY(opener != nullptr);
        QSignalSpy done(opener, &GraphicsOpener::finished);
        QVERIFY(done.wait(30000));
        QVERIFY(done.at(0).at(0).value<GraphicsDisplayer *>() != nullptr);
        QTRY_VERIFY(main->findChild<GraphicsOpener *>() == nullptr);
        dialog.answer.clear();
        showGraphics(main.get());
        QVERIFY(main->findChild<GraphicsOpener *>() == nullptr);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }
};

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    setApplicationIdentity();
    GraphWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_graph_window.moc"
