// Stands in for a sibling program of the suite in the tests.
//   sveglia_prova CONTATORE [--senza-finestra] [ARGOMENTI...]
//     shows a window titled "Zevedez prova" (unless told not to), appends "pid<TAB>arguments" to CONTATORE
//     and runs until stopped.
//   sveglia_prova --scrivi FILE SEZIONE N
//     writes the keys SVEGLIA1..SVEGLIAN of SEZIONE one at a time, as a sibling at work would.
#include "app/inifile.h"

#include <QApplication>
#include <QFile>
#include <QThread>
#include <QWidget>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QApplication applicazione(argc, argv);
    const QStringList argomenti = QCoreApplication::arguments();
    if (argomenti.value(1) == u"--scrivi"_s) {
        for (int i = 1; i <= argomenti.value(4).toInt(); ++i) {
            if (!app::scriviIni(argomenti[2], argomenti[3], u"SVEGLIA"_s + QString::number(i), QString::number(i)))
                return 1;
            // Spread the writes, so that they meet those of the program under test.
            QThread::msleep(2);
        }
        return 0;
    }
    QWidget finestra;
    finestra.setWindowTitle(u"Zevedez prova"_s);
    finestra.setVisible(!argomenti.contains(u"--senza-finestra"_s));
    // Recorded once the window is asked for, so that a test seeing the start also finds it mapping.
    QFile contatore(argomenti.value(1));
    const QString riga = QString::number(QCoreApplication::applicationPid()) + u'\t' + argomenti.mid(1).join(u'\t');
    if (!contatore.open(QIODevice::Append) || contatore.write((riga + u'\n').toUtf8()) < 0 || !contatore.flush())
        return 1;
    return QApplication::exec();
}
