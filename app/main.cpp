#include "form/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // Arguments are accepted and ignored, Qt's own options (-platform, -style, -reverse...) included.
    int soloProgramma = argc > 0 ? 1 : 0;
    QApplication applicazione(soloProgramma, argv);
    return Startup::esegui();
}
