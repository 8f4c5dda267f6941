// The floor for the launcher's resident memory and start-up: an empty Qt Widgets window of the panel's
// compact size on the same platform, running until it is ended.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Qt Widgets window"));
    window.resize(600, 76);
    window.show();
    return application.exec();
}
