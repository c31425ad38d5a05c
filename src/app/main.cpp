// Tresmol: start-up.

#include <QApplication>
#include <QMainWindow>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(u"Tresmol"_s);
    window.resize(927, 678);
    window.show();
    return app.exec();
}
