#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Horvex"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Horvex v1.12"));
    window.show();
    return QApplication::exec();
}
