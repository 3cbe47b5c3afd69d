// Not part of the program: an empty window of the main window's size, font and
// style, the floor that tools/bench_memory.sh compares Horvex's memory with.
#include "ui/look.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Plain window"));
    window.setFont(horvex::windowFont());
    window.resize(horvex::px(9885), horvex::px(7365));
    horvex::centerOnScreen(window);
    window.show();
    return QApplication::exec();
}
