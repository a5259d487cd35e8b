// Build tool: renders the SVG drawings of the icons and the logo to PNG files.
// Usage: render_icons <output folder> <file.svg>:<width>x<height> ...
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char *argv[]) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: render_icons <folder> <file.svg>:<w>x<h>...\n");
        return 2;
    }
    const QString folder = arguments.at(1);
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        const QString request = arguments.at(i);
        const qsizetype colon = request.lastIndexOf(QLatin1Char(':'));
        const QStringList size = request.mid(colon + 1).split(QLatin1Char('x'));
        const QString source = request.left(colon);
        QSvgRenderer renderer(source);
        if (colon < 0 || size.size() != 2 || !renderer.isValid()) {
            std::fprintf(stderr, "render_icons: cannot render %s\n", qPrintable(request));
            return 1;
        }
        QImage image(size.at(0).toInt(), size.at(1).toInt(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        const QString target =
            folder + QLatin1Char('/') + QFileInfo(source).completeBaseName() + QStringLiteral(".png");
        if (!image.save(target, "PNG")) {
            std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(target));
            return 1;
        }
    }
    return 0;
}
