// Renders an SVG source to a PNG bitmap at the size the SVG declares (or the
// size given), for images the programs load by their bitmap names.
//   orvane-svgrender SOURCE.svg TARGET.png [WIDTH HEIGHT]
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3 && arguments.size() != 5) {
        QTextStream(stderr) << "usage: orvane-svgrender SOURCE.svg TARGET.png [WIDTH HEIGHT]\n";
        return 2;
    }
    QSvgRenderer renderer(arguments.at(1));
    if (!renderer.isValid()) {
        QTextStream(stderr) << "not a valid SVG: " << arguments.at(1) << '\n';
        return 1;
    }
    const QSize size = arguments.size() == 5 ? QSize(arguments.at(3).toInt(), arguments.at(4).toInt())
                                             : renderer.defaultSize();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    if (!image.save(arguments.at(2), "PNG")) {
        QTextStream(stderr) << "cannot write " << arguments.at(2) << '\n';
        return 1;
    }
    return 0;
}
