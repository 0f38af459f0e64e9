// The baseline for start-up: a minimal Qt Widgets program showing one empty window.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    w.resize(497, 355);
    w.show();
    return QApplication::exec();
}
