#include "app/preriscaldo.h"

#include <QSqlDatabase>
#include <dlfcn.h>

using namespace Qt::StringLiterals;

namespace app {

namespace {

// The font configuration Qt reads at the first text box; it is loaded with Qt already, so it is
// looked up rather than linked, and a system without it simply skips this.
void caricaCaratteri()
{
    using Inizio = int (*)();
    if (auto inizio = reinterpret_cast<Inizio>(dlsym(RTLD_DEFAULT, "FcInit")))
        inizio();
}

// Loads the file driver and its library, the company being opened later on the main thread.
void caricaDriver()
{
    const QString nome = u"preriscaldo"_s;
    QSqlDatabase::addDatabase(u"QSQLITE"_s, nome);
    QSqlDatabase::removeDatabase(nome);
}

} // namespace

Preriscaldo::Preriscaldo() : caratteri_(caricaCaratteri) {}

void Preriscaldo::conApplicazione()
{
    archivio_ = std::thread(caricaDriver);
}

Preriscaldo::~Preriscaldo()
{
    caratteri_.join();
    if (archivio_.joinable())
        archivio_.join();
}

} // namespace app
