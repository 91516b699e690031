// Stands in for a sibling program of the suite in the tests.
//   sveglia_prova CONTATORE [--senza-finestra] [ARGOMENTI...]
//     shows a window titled "Zevedez prova" (unless told not to), appends "pid<TAB>arguments" to CONTATORE
//     and runs until stopped.
#include <QApplication>
#include <QFile>
#include <QWidget>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QApplication applicazione(argc, argv);
    const QStringList argomenti = QCoreApplication::arguments();
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
