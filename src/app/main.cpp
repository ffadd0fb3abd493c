// Placeholder entry until the application shell lands.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label("SMT");
    label.show();
    return app.exec();
}
