// Stands in for a sibling procedure of the suite in the tests.
//   sveglia_prova [CONTATORE] [--senza-finestra] [ARGOMENTI...]
//     appends "pid<TAB>arguments..." to CONTATORE, if given, shows a window
//     titled "Zevedez prova" unless told not to, and runs until SIGTERM.
//   sveglia_prova --scrivi FILE SEZIONE N
//     writes the keys SVEGLIA1..SVEGLIAN of SEZIONE one at a time, as a sibling at work would.
#include "app/inifile.h"

#include <QApplication>
#include <QFile>
#include <QThread>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

int scrivi(const QStringList& argomenti)
{
    if (argomenti.size() < 5)
        return 2;
    const int quante = argomenti[4].toInt();
    for (int i = 1; i <= quante; ++i) {
        if (!app::scriviIni(argomenti[2], argomenti[3], u"SVEGLIA"_s + QString::number(i), QString::number(i)))
            return 1;
        // Spread the writes, so that they meet those of the program under test.
        QThread::msleep(2);
    }
    return 0;
}

bool registraAvvio(const QStringList& argomenti)
{
    if (argomenti.size() < 2 || argomenti[1].startsWith(u"--"_s))
        return true;
    QFile file(argomenti[1]);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QStringList riga{QString::number(QCoreApplication::applicationPid())};
    riga += argomenti.mid(1);
    file.write((riga.join(u'\t') + u'\n').toUtf8());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--scrivi") == 0) {
        QCoreApplication applicazione(argc, argv);
        return scrivi(QCoreApplication::arguments());
    }
    QApplication applicazione(argc, argv);
    const QStringList argomenti = QCoreApplication::arguments();
    QWidget finestra;
    finestra.setWindowTitle(u"Zevedez prova"_s);
    finestra.resize(240, 120);
    if (!argomenti.contains(u"--senza-finestra"_s))
        finestra.show();
    // Recorded once the window is asked for, so that a test seeing the start also finds it mapping.
    if (!registraAvvio(argomenti))
        return 1;
    return QApplication::exec();
}
