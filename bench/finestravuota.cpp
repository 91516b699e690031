// The yardstick of the start-up benchmark: an empty Qt Widgets window.
#include "app/misura.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication applicazione(argc, argv);
    QWidget finestra;
    finestra.resize(712, 448);
    app::misuraPrimoDisegno(&finestra);
    finestra.show();
    return QApplication::exec();
}
