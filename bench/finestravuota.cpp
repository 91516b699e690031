// The yardstick of the start-up benchmark: an empty Qt Widgets window, of the size given (width height).
#include "app/misura.h"

#include <QApplication>
#include <QWidget>

#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication applicazione(argc, argv);
    QWidget finestra;
    finestra.resize(argc > 2 ? std::atoi(argv[1]) : 712, argc > 2 ? std::atoi(argv[2]) : 448);
    app::misuraPrimoDisegno(&finestra);
    finestra.show();
    return QApplication::exec();
}
