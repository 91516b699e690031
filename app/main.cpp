#include "form/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication applicazione(argc, argv);
    return Startup::esegui();
}
