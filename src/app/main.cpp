#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window("qelvar");
    window.show();
    return app.exec();
}
