#include "fileprova.h"

#include "store/archivioregistri.h"
#include "store/campi.h"
#include "store/colonne.h"
#include "store/posizione.h"
#include "store/registro.h"
#include "store/ricerca.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSysInfo>
#include <QTest>

#include <map>
#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Archivio = store::ArchivioRegistri;

// Cases written as scripts in a table, run on a company file or, with PEMTARX_PROVA_PG, on the test cluster.
// A case begins with "== NAME", then steps separated by " && " ("\" at the end of a line joins the next):
//   [f:|s:][!]COMANDO [=> USCITA]
// f: or s: keeps a step to the file or the server; "!" says the command leaves the store as it was; USCITA
// is all the command writes, its lines joined by " / ", "*" standing for any text; no "=>", nothing written.
// "solo file" or "solo server" skips a case on the other engine; "senza archivio" starts it without the
// tables, which every case of the store's table has at its start and none of the tool's.
// $FILE the store, $ASSENTE one never made, $CARTELLA its folder (the working one), $DB the database and
// $DITTA its name in capitals, $CLUSTER the cluster's socket folder, $UTENTE and $COMPUTER as the history says,
// $BLOCCATA the engine's words for a lock another user holds, $DATI the old engine's company files, $PROGRAMMA
// pemtarx-db for sh.
// The store as the window uses it: apri [POSIZIONE][|ATTESA MS], registri, testata, verifica, trova CODICE,
//   scrivi CODICE|Nome=valore|... (Descrizione=X, Riga1=Y, RigP5=Z, <null> a null text), elimina CODICE,
//   salva and cancella (the same, given the rows the last trova showed), leggi SQL,
//   cerca codice|CHIAVE or descrizione|CHIAVE (no "|": a null key), elenco TIPO (the picker's list of a kind),
//   usa IMPIEGATO (another clerk's store from then on).
// Behind its back: crea, sql [@POSIZIONE] SQL, tieni SQL and lascia (another clerk's transaction), uccidi N
//   (a writer killed N times, each at a random moment), insieme N (two clerks saving one code N times at once,
//   then two adding one to one number N times each), rifiuta [INSERT|UPDATE|DELETE ON TABELLA], nulli, storico N,
//   confronta A|B[|storico], tempo MIN|MAX (ms since the last apri or tempo), taglia (the server drops the
//   store's connections).
// Programs: db ARGOMENTI runs pemtarx-db, sh COMANDI bash; each writes its exit status unless 0, its standard
//   output, and its errors after "! "; db@PASSO:N kills the import at its N-th announcement of PASSO ("ucciso").
// Values: testo VALORE|PREDEFINITO, numero VALORE, indirizzo POSIZIONE.
class TestCopioni final : public QObject {
    Q_OBJECT
private slots:
    void copione_data();
    void copione();
    void cleanup();
};

namespace {

std::unique_ptr<FileProva> f;
std::map<QString, std::unique_ptr<Archivio>> archivi;
QString chi;
Archivio::Righe mostrate;
QElapsedTimer orologio;
QDateTime inizio;

const QStringList nomiTesto = u"Descrizione CarScar GruppoCarico GruppoSCarico CodiceDischetto MeccanogCin "
                               u"CodAutorizzazione NTelefonoDaChiamare RiqA TipoProtocollo ACT"_s.split(u' ');
QString Registro::* const membriTesto[] = {&Registro::SspDescrizione, &Registro::SspCarScar, &Registro::SspGruppoCarico,
                                           &Registro::SspGruppoSCarico, &Registro::SspCodiceDischetto,
                                           &Registro::SspMeccanogCin, &Registro::SspCodAutorizzazione,
                                           &Registro::SspNTelefonoDaChiamare, &Registro::SspRiqA,
                                           &Registro::SspTipoProtocollo, &Registro::SspACT};

// A save killed at any moment never leaves a register row without its heading row, nor the reverse, nor a
// change without its history row, nor a history row without its change; first, on a file, the first reader
// rolls a half-done transaction back from the journal.
const QStringList spaiate{
    u"PRAGMA integrity_check"_s,
    u"SELECT SspCodice FROM TabellaSerieSemplificata r WHERE NOT EXISTS (SELECT 1 FROM TestataRegistriPS WHERE "
    u"TpsCodice = r.SspCodice) OR NOT EXISTS (SELECT 1 FROM StoricoRegistri s WHERE s.SspCodice = r.SspCodice) UNION "
    u"ALL SELECT TpsCodice FROM TestataRegistriPS t WHERE NOT EXISTS (SELECT 1 FROM TabellaSerieSemplificata WHERE "
    u"SspCodice = t.TpsCodice)"_s,
    // Every save names its step in the rows: the latest history row of a code is what the tables hold.
    u"SELECT s.SspCodice FROM StoricoRegistri s LEFT JOIN TabellaSerieSemplificata r ON r.SspCodice = s.SspCodice "
    u"LEFT JOIN TestataRegistriPS t ON t.TpsCodice = s.SspCodice WHERE s.StoNumero = (SELECT MAX(StoNumero) FROM "
    u"StoricoRegistri WHERE SspCodice = s.SspCodice) AND CASE WHEN s.StoOperazione = 'CANCELLAZIONE' THEN r.SspCodice "
    u"IS NOT NULL OR t.TpsCodice IS NOT NULL ELSE r.SspCodice IS NULL OR t.TpsCodice IS NULL OR r.SspDescrizione <> "
    u"s.SspDescrizione OR r.SspUltimoCarico <> s.SspUltimoCarico OR t.TpsRiga1 <> s.TpsRiga1 END"_s};

QVariant valore(const QString& testo)
{
    return testo == u"<null>"_s ? QVariant() : QString(testo).replace(u"\\0"_s, QString(QChar(0)));
}

std::pair<Registro, TestataRegistro> registroDa(const QString& testo)
{
    const QStringList parti = testo.split(u'|');
    Registro r{parti.front()};
    TestataRegistro t;
    for (const QString& p : parti.mid(1)) {
        const QString nome = p.section(u'=', 0, 0), v = valore(p.section(u'=', 1)).toString();
        if (nomiTesto.contains(nome))
            r.*membriTesto[nomiTesto.indexOf(nome)] = v;
        else if (nome.startsWith(u"Rig"_s))
            (nome.at(3) == u'a' ? t.TpsRiga : t.TpsRigP)[nome.right(1).toInt() - 1] = v;
        else if (nome == u"UltimoCarico"_s)
            r.SspUltimoCarico = v.toInt();
        else if (nome == u"MeccanogNum"_s)
            r.SspMeccanogNum = qint16(v.toInt());
        else
            r.SspStampaperSerie = v == u"1"_s;
    }
    return {r, t};
}

// Both rows as the window reads them: the register's members, then after "#" the heading's lines.
QString comeLetti(const Archivio::Righe& righe)
{
    QStringList campi;
    if (righe.registro) {
        const Registro r = store::leggiRegistro(*righe.registro);
        campi << r.SspCodice;
        for (QString Registro::* m : membriTesto)
            campi << r.*m;
        campi << u"%1|%2|%3"_s.arg(r.SspUltimoCarico).arg(r.SspMeccanogNum).arg(r.SspStampaperSerie);
    }
    if (const auto t = righe.testata ? store::leggiTestata(*righe.testata) : TestataRegistro(); righe.testata)
        campi << u"#"_s << QList(t.TpsRiga.begin(), t.TpsRiga.end()) << QList(t.TpsRigP.begin(), t.TpsRigP.end());
    return campi.isEmpty() ? u"nessuno"_s : campi.join(u'|');
}

QString esito(const store::Esito& e, Archivio::Fase fase = Archivio::Fase::Nessuna)
{
    static const QStringList fasi{QString(), u" registro"_s, u" testata"_s};
    const bool tace = e.ok() && fase == Archivio::Fase::Nessuna;
    return tace ? QString() : u"errore %1%2: %3"_s.arg(e.numero).arg(fasi.at(int(fase)), e.descrizione);
}

QString espandi(QString testo)
{
    const QString utente = QString::fromLocal8Bit(getpwuid(geteuid())->pw_name), db = f->nomeDatabase();
    return testo.replace(u"$FILE"_s, f->percorso())
        .replace(u"$ASSENTE"_s, db.isEmpty() ? f->percorso() : QString(f->percorso()).replace(db, db + u"_assente"_s))
        .replace(u"$CARTELLA"_s, f->cartella())
        .replace(u"$DATI"_s, QStringLiteral(PEMTARX_DATI))
        .replace(u"$PROGRAMMA"_s, QStringLiteral(PEMTARX_DB))
        .replace(u"$DITTA"_s, db.toUpper())
        .replace(u"$DB"_s, db)
        .replace(u"$CLUSTER"_s, FileProva::cluster())
        .replace(u"$UTENTE"_s, db.isEmpty() ? utente : utente + u" (pemtarx)"_s)
        .replace(u"$COMPUTER"_s, QSysInfo::machineHostName())
        .replace(u"$BLOCCATA"_s, db.isEmpty() ? u"database is locked"_s : u"canceling statement due to lock timeout"_s);
}

QStringList esegui(const QString& verbo, const QString& resto);

// On a file a page of a look-up is a range search on an index, with no full scan and no sort before its first row;
// the plan's steps when it is not.
QString piano(const QSqlDatabase& db, const store::Istruzione& i)
{
    if (FileProva::server())
        return {};
    QSqlQuery q(db);
    q.prepare(u"EXPLAIN QUERY PLAN "_s + i.sql);
    for (int v = 0; v < i.valori.size(); ++v)
        q.bindValue(v, i.valori.at(v));
    QStringList passi;
    for (q.exec(); q.next();)
        passi << q.value(3).toString();
    const QString p = passi.join(u" | "_s);
    const bool buono = p.startsWith(u"SEARCH "_s) && p.contains(u"USING INDEX "_s) && !p.contains(u"SCAN"_s) &&
                       !p.contains(u"TEMP B-TREE"_s);
    return buono ? QString() : u"PIANO: "_s + (p.isEmpty() ? q.lastError().text() : p);
}

} // namespace

void TestCopioni::copione_data()
{
    QTest::addColumn<QStringList>("passi");
    QFile tabella(QStringLiteral(TABELLA));
    QVERIFY(tabella.open(QIODevice::ReadOnly));
    static const QRegularExpression aCapo(u"\\\\\\n\\s*"_s);
    const QString testo = QString(u'\n' + QString::fromUtf8(tabella.readAll())).replace(aCapo, QString());
    for (const QString& caso : testo.split(u"\n== "_s).mid(1)) {
        QStringList passi;
        for (const QString& riga : caso.section(u'\n', 1).split(u'\n'))
            if (!riga.isEmpty() && !riga.startsWith(u'#'))
                passi += riga.split(u" && "_s);
        QTest::newRow(qPrintable(caso.section(u'\n', 0, 0))) << passi;
    }
}

void TestCopioni::copione()
{
    QFETCH(QStringList, passi);
    if (passi.contains(FileProva::server() ? u"solo file"_s : u"solo server"_s))
        QSKIP("not on this engine");
    f = std::make_unique<FileProva>();
    QDir::setCurrent(f->cartella());
    if (CREA && !passi.contains(u"senza archivio"_s))
        QVERIFY(f->crea());
    chi = u"mio"_s;
    inizio = QDateTime::currentDateTimeUtc().addSecs(-1);
    orologio.start();
    QStringList fatto, atteso;
    for (QString passo : passi) {
        if (passo.startsWith(FileProva::server() ? u"f:"_s : u"s:"_s) || passo.startsWith(u"solo "_s) ||
            passo == u"senza archivio"_s)
            continue;
        if (passo.startsWith(u"f:"_s) || passo.startsWith(u"s:"_s))
            passo = passo.mid(2).trimmed();
        const QString comando = passo.section(u" => "_s, 0, 0), attesa = espandi(passo.section(u" => "_s, 1));
        const bool fermo = comando.startsWith(u'!');
        const QString prima = fermo ? f->istantanea() : QString(), eseguito = espandi(comando.mid(fermo));
        QStringList uscita = esegui(eseguito.section(u' ', 0, 0), eseguito.section(u' ', 1));
        if (fermo && f->istantanea() != prima)
            uscita.prepend(u"ARCHIVIO CAMBIATO"_s);
        const QString letta = uscita.join(u" / "_s);
        const QRegularExpression modello(
            QRegularExpression::anchoredPattern(QRegularExpression::escape(attesa).replace(u"\\*"_s, u".*"_s)),
            QRegularExpression::DotMatchesEverythingOption);
        fatto << comando + u" => "_s + letta;
        atteso << comando + u" => "_s + (modello.match(letta).hasMatch() ? letta : attesa);
    }
    QCOMPARE(fatto, atteso);
}

void TestCopioni::cleanup()
{
    archivi.clear();
    QSqlDatabase::removeDatabase(u"altro"_s);
    mostrate = {};
    f.reset();
}

namespace {

QStringList esegui(const QString& verbo, const QString& resto)
{
    const QStringList a = resto.split(u'|');
    std::unique_ptr<Archivio>& archivio = archivi[chi];
    static const QStringList delloStore =
        u"registri testata verifica scrivi salva elimina cancella trova leggi cerca elenco insieme"_s.split(u' ');
    if (!archivio && delloStore.contains(verbo)) {
        archivio = std::make_unique<Archivio>(chi);
        for (const auto& e : {archivio->apriDatabase(f->percorso()), archivio->apriRegistri(), archivio->apriTestata()})
            if (!e.ok() && verbo != u"registri"_s && verbo != u"testata"_s)
                return {esito(e)};
    }
    Archivio::Fase fase = Archivio::Fase::Nessuna;
    if (verbo == u"usa"_s) {
        chi = resto;
    } else if (verbo == u"apri"_s) {
        orologio.start();
        archivio = std::make_unique<Archivio>(chi);
        const int attesaMs = a.size() > 1 ? a.at(1).toInt() : 5000;
        return {esito(archivio->apriDatabase(resto.isEmpty() ? f->percorso() : a.front(), attesaMs))};
    } else if (verbo == u"registri"_s || verbo == u"testata"_s) {
        const store::Esito e = verbo == u"registri"_s ? archivio->apriRegistri() : archivio->apriTestata();
        const bool aperta = verbo == u"registri"_s ? archivio->registriAperti() : archivio->testataAperta();
        return {esito(e) + (aperta == e.ok() ? u""_s : u" ma aperta: %1"_s.arg(aperta))};
    } else if (verbo == u"verifica"_s) {
        return {esito(archivio->verificaScrittura())};
    } else if (verbo == u"scrivi"_s || verbo == u"salva"_s) {
        const auto [r, t] = registroDa(resto);
        const Archivio::EsitoScrittura e = archivio->scrivi(r, t, verbo == u"salva"_s ? &mostrate : nullptr);
        return {esito(e.esito, e.fase)};
    } else if (verbo == u"elimina"_s || verbo == u"cancella"_s) {
        const store::Esito e = archivio->elimina(resto, &fase, verbo == u"cancella"_s ? &mostrate : nullptr);
        return {esito(e, fase)};
    } else if (verbo == u"trova"_s) {
        const store::Esito e = archivio->trova(resto, mostrate = {});
        return {e.ok() ? comeLetti(mostrate) : esito(e)};
    } else if (verbo == u"leggi"_s) {
        QStringList letti;
        const store::Esito e = archivio->leggi(resto, {}, [&](const QSqlQuery& q) { letti << q.value(0).toString(); });
        return e.ok() ? letti : QStringList{esito(e)};
    } else if (verbo == u"cerca"_s) {
        // Two rows a page, every page starting after the last row of the one before.
        const auto tipo = a.front() == u"codice"_s ? store::TipoRicerca::Codice : store::TipoRicerca::Descrizione;
        const QSqlDriver* d = archivio->database().driver();
        QStringList trovati;
        std::optional<store::Seguito> dopo;
        const auto riga = [&](const QSqlQuery& q) {
            trovati << q.value(store::trCodice).toString();
            dopo = store::Seguito{q.value(int(tipo) - 1).toString(), trovati.back()};
        };
        for (qsizetype prima = -2; trovati.size() - prima == 2 && trovati.size() < 50;) {
            prima = trovati.size();
            QString sql;
            const store::Istruzione pagina = store::cercaRegistri(d, tipo, a.value(1), dopo, 2);
            if (const QString p = piano(archivio->database(), pagina); !p.isEmpty())
                return {p};
            if (const store::Esito e = store::esegui(*archivio, pagina, sql, riga); !e.ok())
                return {esito(e)};
        }
        return {trovati.join(u' ')};
    } else if (verbo == u"elenco"_s) {
        QStringList codici;
        QString sql;
        const store::Esito e = store::esegui(*archivio, store::elencoRegistri(archivio->database().driver(), resto), sql,
                                             [&](const QSqlQuery& q) { codici << q.value(store::elCodice).toString(); });
        return {e.ok() ? codici.join(u' ') : esito(e)};
    } else if (verbo == u"sql"_s) {
        return resto.startsWith(u'@') ? FileProva(a.front().section(u' ', 0, 0).mid(1)).righe(resto.section(u' ', 1))
                                      : f->righe(resto);
    } else if (verbo == u"tieni"_s || verbo == u"lascia"_s) {
        QSqlQuery q(f->altraConnessione(u"altro"_s));
        if (!q.exec(verbo == u"lascia"_s ? u"ROLLBACK"_s : FileProva::quotaNomi(resto)))
            return {q.lastError().text()};
    } else if (verbo == u"db"_s || verbo == u"sh"_s || verbo.startsWith(u"db@"_s)) {
        QProcess p;
        const QString passo = u"PASSO "_s + verbo.section(u'@', 1).section(u':', 0, 0);
        if (verbo.contains(u'@'))
            p.setEnvironment(QProcess::systemEnvironment() << u"PEMTARX_IMPORTA_PASSI=1"_s);
        QStringList argomenti = resto.split(u' ', Qt::SkipEmptyParts).replaceInStrings(u"''"_s, QString());
        verbo == u"sh"_s ? p.start(u"bash"_s, {u"-c"_s, resto}) : p.start(QStringLiteral(PEMTARX_DB), argomenti);
        p.setReadChannel(QProcess::StandardError);
        for (int viste = 0, volta = verbo.section(u':', 1).toInt(); volta && p.waitForStarted() &&
                                                                    (p.canReadLine() || p.waitForReadyRead(30000));) {
            const QString linea = QString::fromUtf8(p.readLine().trimmed());
            if (linea == passo && ++viste == volta)
                p.kill();
            else if (linea.startsWith(u"PASSO "_s))
                p.write("\n");
        }
        p.waitForFinished(60000);
        if (p.exitStatus())
            return {u"ucciso"_s};
        QStringList uscita = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString& l : QString::fromUtf8(p.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts))
            uscita << u"! "_s + l;
        return p.exitCode() ? QStringList{QString::number(p.exitCode())} + uscita : uscita;
    } else if (verbo == u"uccidi"_s) {
        const quint32 seme = QRandomGenerator::global()->generate();
        QRandomGenerator caso(seme);
        int nelGiornale = 0;
        for (int volta = 0; volta < resto.toInt(); ++volta) {
            QProcess scrittore;
            scrittore.start(QStringLiteral(SCRITTORE), {u"salva"_s, f->percorso(), QString::number(caso.bounded(99))});
            // Killed after a few commits, at a random moment within the next two saves however long one takes
            // here, so kills land in every step of one.
            const int attesi = caso.bounded(1, 6);
            QElapsedTimer tempo;
            for (int visti = 0; visti < attesi;) {
                if (!scrittore.canReadLine() && !scrittore.waitForReadyRead(20000))
                    return {u"seme %1: %2"_s.arg(seme).arg(QString::fromUtf8(scrittore.readAllStandardError()))};
                for (; scrittore.canReadLine(); scrittore.readLine())
                    if (++visti == 1)
                        tempo.start();
            }
            const qint64 dueSalvataggi = std::max<qint64>(2 * tempo.nsecsElapsed() / std::max(attesi - 1, 1), 4000000);
            for (const qint64 fine = tempo.nsecsElapsed() + caso.bounded(dueSalvataggi); tempo.nsecsElapsed() < fine;)
                scrittore.waitForReadyRead(0);
            scrittore.kill();
            scrittore.waitForFinished();
            nelGiornale += QFile(f->percorso() + u"-journal"_s).size() > 0;
            for (const QString& sql : spaiate.mid(FileProva::server()))
                if (const QStringList r = f->righe(sql); !r.isEmpty() && r != QStringList{u"ok"_s})
                    return {u"seme %1, volta %2: %3 da %4"_s.arg(seme).arg(volta).arg(r.join(u' '), sql)};
        }
        // The server rolls back the transaction of a client that vanished; only a file keeps a journal.
        if (!FileProva::server() && nelGiornale == 0)
            return {u"NESSUNA UCCISIONE IN UNA TRANSAZIONE"_s};
    } else if (verbo == u"insieme"_s) {
        // Two clerks saving one code over and over: every look-up meanwhile finds both rows from one save.
        // Then two clerks adding one to one number, each saving only what it looked up unchanged.
        QProcess scrittori[4];
        for (int i = 0; i < 4; ++i) {
            for (int lette = 0; i == 2 && (scrittori[0].state() || scrittori[1].state() || !lette);) {
                QCoreApplication::processEvents();
                if (const store::Esito e = archivio->trova(u"conteso"_s, mostrate); !e.ok())
                    return {esito(e)};
                if (mostrate.registro && mostrate.testata && ++lette &&
                    mostrate.testata->value(u"TpsRigP5"_s) != mostrate.registro->value(u"SspRiqA"_s))
                    return {u"RIGHE DI DUE SALVATAGGI: "_s + comeLetti(mostrate)};
            }
            const QString modo = i < 2 ? u"stesso"_s : u"conta"_s;
            scrittori[i].start(QStringLiteral(SCRITTORE), {modo, f->percorso(), i ? u"SECONDO"_s : u"PRIMO"_s, resto});
        }
        QStringList errori;
        for (QProcess& p : scrittori)
            if (p.waitForFinished(120000); p.state() || p.exitStatus() || p.exitCode())
                errori << QString::fromUtf8(p.readAllStandardError());
        return errori;
    } else if (verbo == u"crea"_s) {
        return f->crea() ? QStringList() : QStringList{u"non creato"_s};
    } else if (verbo == u"rifiuta"_s) {
        // A trigger that makes one kind of change of one table fail, as a schema change of another program would.
        if (resto.isEmpty())
            return f->righe(FileProva::server() ? u"DROP FUNCTION rifiuta() CASCADE"_s : u"DROP TRIGGER rifiuta"_s);
        const QString trigger = u"CREATE TRIGGER rifiuta BEFORE "_s + resto;
        if (!FileProva::server())
            return f->righe(trigger + u" BEGIN SELECT RAISE(ABORT, 'rifiutato dalla prova'); END"_s);
        const QStringList funzione = f->righe(u"CREATE FUNCTION rifiuta() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
                                              u"RAISE EXCEPTION 'rifiutato dalla prova'; END$$"_s);
        return funzione + f->righe(trigger + u" FOR EACH ROW EXECUTE FUNCTION rifiuta()"_s);
    } else if (verbo == u"nulli"_s) {
        QStringList nulli;
        for (const QLatin1StringView t : {store::tabellaRegistri, store::tabellaTestata})
            for (const store::Colonna& c : store::colonneDi(t))
                if (f->righe(u"SELECT COUNT(*) FROM %2 WHERE %1 IS NULL"_s.arg(c.nome, t)) != QStringList{u"0"_s})
                    nulli << t + u'.' + c.nome;
        return nulli;
    } else if (verbo == u"storico"_s) {
        // History row N holds both rows as the tables hold them now, and who wrote it, where and when.
        QStringList ora, copia;
        for (const store::Colonna& c : store::colonneStorico().subspan(store::colonneProprieStorico))
            ora << (c.nome.startsWith(u"Ssp"_s) ? u"r."_s : u"t."_s) + c.nome, copia << u"s."_s + c.nome;
        const QString sql = u"SELECT s.StoUtente, s.StoComputer, s.StoQuando, %1, %2 FROM StoricoRegistri s, "
                            u"TabellaSerieSemplificata r JOIN TestataRegistriPS t ON t.TpsCodice = r.SspCodice WHERE "
                            u"s.StoNumero = %3 AND r.SspCodice = s.SspCodice"_s;
        const QStringList v = f->righe(sql.arg(ora.join(u", "_s), copia.join(u", "_s), resto)).value(0).split(u'|');
        const QDateTime quando = QDateTime::fromString(v.value(2), Qt::ISODateWithMs);
        const bool recente = v.value(2).size() == 24 && quando >= inizio && quando <= QDateTime::currentDateTimeUtc();
        return {v.mid(0, 2).join(u'|') + (recente ? u"|ora"_s : u'|' + v.value(2)) +
                (v.size() > 3 && v.mid(3, ora.size()) == v.mid(3 + ora.size()) ? u""_s : u" DIVERSA DALLE TABELLE"_s)};
    } else if (verbo == u"confronta"_s) {
        QStringList righe[2];
        for (int i = 0; i < 2; ++i)
            for (const QLatin1StringView t : {store::tabellaRegistri, store::tabellaTestata, store::tabellaStorico})
                if (t != store::tabellaStorico || a.value(2) == u"storico"_s)
                    righe[i] += FileProva(a.value(i)).righe(u"SELECT * FROM %1 ORDER BY 1"_s.arg(t));
        return {righe[0] == righe[1] ? u"uguali, %1 righe"_s.arg(righe[0].size()) : u"diversi"_s};
    } else if (verbo == u"tempo"_s) {
        if (const qint64 ms = orologio.restart(); ms < a.front().toInt() || ms > a.value(1).toInt())
            return {u"%1 ms"_s.arg(ms)};
    } else if (verbo == u"taglia"_s) {
        // The server ends the store's connections, as a restart of it or a broken network would.
        return f->righe(u"SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE application_name = "
                        u"'pemtarx' AND datname = current_database()"_s);
    } else if (verbo == u"testo"_s) {
        return {u'[' + store::testoCampo(valore(a.front()), a.value(1)) + u']'};
    } else if (verbo == u"numero"_s) {
        return {store::numeroCampo(valore(resto))};
    } else if (verbo == u"indirizzo"_s) {
        const std::optional<store::Server> s = store::server(resto);
        return {!s ? u"file"_s
                   : QStringList({s->host, s->porta, s->utente, s->nome, s->opzioni.join(u'&')}).join(u'|') +
                         (store::server(store::indirizzo(*s)) == s ? u""_s : u" RISCRITTO ALTRIMENTI"_s)};
    } else {
        return {u"VERBO SCONOSCIUTO: "_s + verbo};
    }
    return {};
}

} // namespace

QTEST_GUILESS_MAIN(TestCopioni)
#include "copione.moc"
