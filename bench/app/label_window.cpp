// A second reference for start-up: one window with a line of Japanese text,
// which, unlike an empty window, has to load the font configuration and a font.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel w(QStringLiteral("ZEK - MMLコンパイラ支援ツール"));
    w.resize(497, 355);
    w.show();
    return QApplication::exec();
}
