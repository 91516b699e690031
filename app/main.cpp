#include "app/preriscaldo.h"
#include "form/startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    app::Preriscaldo preriscaldo;
    // Arguments are accepted and ignored, Qt's own options (-platform, -style, -reverse...) included.
    int soloProgramma = argc > 0 ? 1 : 0;
    QApplication applicazione(soloProgramma, argv);
    preriscaldo.conApplicazione();
    return Startup::esegui();
}
