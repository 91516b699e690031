// The yardstick of the start-up benchmark: an empty Qt Widgets window, of the size given (width height); with a
// third argument, the window shows that text in one label, which is all it takes to start the font system.
#include "app/misura.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication applicazione(argc, argv);
    QWidget finestra;
    finestra.resize(argc > 2 ? std::atoi(argv[1]) : 712, argc > 2 ? std::atoi(argv[2]) : 448);
    if (argc > 3)
        new QLabel(QString::fromLocal8Bit(argv[3]), &finestra);
    app::misuraPrimoDisegno(&finestra);
    finestra.show();
    return QApplication::exec();
}
