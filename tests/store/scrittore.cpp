// Another clerk of a company, as a process of its own, for the store tests. ARCHIVIO is a company file or
// the "postgresql://" address of a company database.
//   scrittore salva ARCHIVIO N     saves and deletes registers without end from step N, a line per commit
//   scrittore stesso ARCHIVIO CHI N  saves one code N times, every column and line signed by CHI and the turn
//   scrittore conta ARCHIVIO [CHI] N  adds one to a register's number N times, as a clerk would: looks it up,
//                                  then saves it unless another clerk changed it meanwhile
#include "store/archivioregistri.h"
#include "store/campi.h"
#include "store/registro.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication applicazione(argc, argv);
    const QStringList a = QCoreApplication::arguments();
    QTextStream uscita(stdout), errori(stderr);
    store::ArchivioRegistri archivio(u"scrittore"_s);
    for (const store::Esito& e : {archivio.apriDatabase(a.at(2)), archivio.apriRegistri(), archivio.apriTestata()})
        if (!e.ok())
            return errori << e.descrizione << Qt::endl, 1;
    const qint64 volte = a.back().toLongLong();
    for (qint64 i = a.at(1) == u"salva"_s ? volte : 0; i < volte || a.at(1) == u"salva"_s; ++i) {
        // salva: step i changes one code, changes it again, then deletes another, so new rows keep coming;
        // stesso: the case of the code changes from turn to turn, still one register.
        const QString firma = a.at(1) == u"stesso"_s ? u"%1 %2"_s.arg(a.at(3)).arg(i) : u"SALVATAGGIO %1"_s.arg(i);
        Registro r{a.at(1) == u"stesso"_s ? (i % 2 ? u"conteso"_s : u"CONTESO"_s) : u"K%1"_s.arg(i / 3 % 40)};
        r.SspDescrizione = r.SspRiqA = firma;
        r.SspUltimoCarico = qint32(i);
        TestataRegistro t;
        t.TpsRiga.fill(firma);
        t.TpsRigP.fill(firma);
        store::ArchivioRegistri::Righe righe;
        if (a.at(1) == u"conta"_s) {
            archivio.trova(u"CONTATORE"_s, righe);
            r = righe.registro ? store::leggiRegistro(*righe.registro) : Registro{u"CONTATORE"_s};
            ++r.SspUltimoCarico;
        }
        const store::Esito e = a.at(1) == u"salva"_s && i % 3 == 2
                                   ? archivio.elimina(u"K%1"_s.arg((i / 3 + 20) % 40))
                                   : archivio.scrivi(r, t, a.at(1) == u"conta"_s ? &righe : nullptr).esito;
        if (e.numero == store::erroreCambiato)
            --i;
        else if (!e.ok())
            return errori << firma << u": "_s << e.descrizione << Qt::endl, 1;
        uscita << i << Qt::endl;
    }
}
