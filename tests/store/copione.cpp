#include "fileprova.h"

#include "store/campi.h"
#include "store/colonne.h"
#include "store/posizione.h"
#include "store/registro.h"
#include "store/archivioregistri.h"
#include "store/ricerca.h"

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

// Cases written as scripts in a table (its head tells how to read one): every command's output must
// be the lines the table expects, on a company file or, with PEMTARX_PROVA_PG, on the test cluster.
class TestCopioni final : public QObject {
    Q_OBJECT
private slots:
    void copione_data();
    void copione();

private:
    QStringList esegui(const QString& comando);
    QString espandi(QString testo) const;
    QString esito(const store::Esito& e, Archivio::Fase fase = Archivio::Fase::Nessuna) const;

    std::unique_ptr<FileProva> f;
    std::map<QString, std::unique_ptr<Archivio>> archivi;
    QString chi;
    Archivio::Righe mostrate;
    QProcess bloccante;
    QElapsedTimer orologio;  // since the last apri or tempo
    QDateTime inizio;
};

namespace {

const QStringList testiRegistro{u"Descrizione"_s, u"CarScar"_s, u"GruppoCarico"_s, u"GruppoSCarico"_s,
                                u"CodiceDischetto"_s, u"MeccanogCin"_s, u"CodAutorizzazione"_s,
                                u"NTelefonoDaChiamare"_s, u"RiqA"_s, u"TipoProtocollo"_s, u"ACT"_s};
QString Registro::* const membriTesto[] = {
    &Registro::SspDescrizione, &Registro::SspCarScar, &Registro::SspGruppoCarico, &Registro::SspGruppoSCarico,
    &Registro::SspCodiceDischetto, &Registro::SspMeccanogCin, &Registro::SspCodAutorizzazione,
    &Registro::SspNTelefonoDaChiamare, &Registro::SspRiqA, &Registro::SspTipoProtocollo, &Registro::SspACT};

// "CODICE|Nome=valore|...": a register and its heading lines; <null> is a null text.
std::pair<Registro, TestataRegistro> registroDa(const QString& testo)
{
    const QStringList parti = testo.split(u'|');
    Registro r{parti.front()};
    TestataRegistro t;
    for (const QString& p : parti.mid(1)) {
        const QString nome = p.section(u'=', 0, 0), v = p.section(u'=', 1) == u"<null>"_s ? QString() : p.section(u'=', 1);
        if (const qsizetype i = testiRegistro.indexOf(nome); i >= 0)
            r.*membriTesto[i] = v;
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

// Both rows as the store reads them for the window.
QString comeLetti(const Archivio::Righe& righe)
{
    QStringList campi;
    if (righe.registro) {
        const Registro r = store::leggiRegistro(*righe.registro);
        campi << r.SspCodice;
        for (QString Registro::* m : membriTesto)
            campi << r.*m;
        campi << QString::number(r.SspUltimoCarico) << QString::number(r.SspMeccanogNum)
              << QString::number(r.SspStampaperSerie);
    }
    if (righe.testata) {
        const TestataRegistro t = store::leggiTestata(*righe.testata);
        campi << u"#"_s << QStringList(t.TpsRiga.begin(), t.TpsRiga.end()) << QStringList(t.TpsRigP.begin(), t.TpsRigP.end());
    }
    return campi.isEmpty() ? u"nessuno"_s : campi.join(u'|');
}

QString valore(const QString& testo)
{
    return testo == u"<null>"_s ? QString() : QString(testo).replace(u"\\0"_s, QString(QChar(0)));
}

} // namespace

void TestCopioni::copione_data()
{
    QTest::addColumn<QStringList>("righe");
    QFile tabella(QStringLiteral(TABELLA));
    QVERIFY(tabella.open(QIODevice::ReadOnly));
    QStringList righe;
    QString nome, riga;
    const QStringList linee = QString::fromUtf8(tabella.readAll()).split(u'\n') << u"== "_s;
    for (const QString& linea : linee) {
        riga += riga.isEmpty() ? linea : linea.trimmed();
        if (riga.endsWith(u'\\')) {
            riga.chop(1);
            continue;
        }
        if (riga.startsWith(u"== "_s)) {
            if (!nome.isEmpty())
                QTest::newRow(qPrintable(nome)) << righe;
            nome = riga.mid(3);
            righe.clear();
        } else if (!riga.trimmed().isEmpty() && !riga.startsWith(u'#')) {
            righe << riga;
        }
        riga.clear();
    }
}

void TestCopioni::copione()
{
    QFETCH(QStringList, righe);
    f = std::make_unique<FileProva>();
    QDir::setCurrent(f->cartella());
    if (CREA && !righe.contains(u"senza archivio"_s))
        QVERIFY(f->crea());
    chi = u"mio"_s;
    inizio = QDateTime::currentDateTimeUtc().addSecs(-1);
    QStringList fatto, atteso;
    const QString altro = FileProva::server() ? u"f"_s : u"s"_s;
    orologio.start();
    for (QString r : righe) {
        if (r == u"senza archivio"_s)
            continue;
        if (r.startsWith(altro + u':') || r.startsWith(altro + u'='))
            continue;
        if (r.startsWith(u"f:"_s) || r.startsWith(u"s:"_s) || r.startsWith(u"f="_s) || r.startsWith(u"s="_s))
            r = r.mid(r.at(1) == u':' ? 2 : 1).trimmed();
        if (r.endsWith(u" =>"_s))
            r += u' ';
        if (r.startsWith(u"= "_s) || r == u"="_s) {
            atteso << espandi(r.mid(2));
            continue;
        }
        if (r == u"solo file"_s || r == u"solo server"_s) {
            if (FileProva::server() != (r == u"solo server"_s))
                QSKIP("not on this engine");
            continue;
        }
        const QString comando = r.section(u" => "_s, 0, 0);
        fatto << u"» "_s + comando;
        atteso << u"» "_s + comando;
        if (r.contains(u" => "_s))
            atteso << espandi(r.section(u" => "_s, 1));
        const bool fermo = comando.startsWith(u'!');
        const QString prima = fermo ? f->istantanea() : QString();
        fatto += esegui(espandi(comando.mid(fermo ? 1 : 0)));
        if (fermo && f->istantanea() != prima)
            fatto << u"ARCHIVIO CAMBIATO"_s;
    }
    // A '*' in an expected line stands for any text.
    for (qsizetype i = 0; i < std::min(fatto.size(), atteso.size()); ++i)
        if (atteso.at(i).contains(u'*') &&
            QRegularExpression(QRegularExpression::anchoredPattern(
                                   QRegularExpression::escape(atteso.at(i)).replace(u"\\*"_s, u".*"_s)),
                               QRegularExpression::DotMatchesEverythingOption)
                .match(fatto.at(i))
                .hasMatch())
            atteso[i] = fatto.at(i);
    if (bloccante.state() != QProcess::NotRunning) {
        bloccante.kill();
        bloccante.waitForFinished();
    }
    archivi.clear();
    QSqlDatabase::removeDatabase(u"altro"_s);
    mostrate = {};
    f.reset();
    if (fatto != atteso)
        qDebug().noquote() << fatto.join(u'\n');
    QCOMPARE(fatto, atteso);
}

QString TestCopioni::espandi(QString testo) const
{
    const QString utente = QString::fromLocal8Bit(getpwuid(geteuid())->pw_name);
    return testo.replace(u"$FILE"_s, f->percorso())
        .replace(u"$ASSENTE"_s, f->assente())
        .replace(u"$CARTELLA"_s, f->cartella())
        .replace(u"$DITTA"_s, f->nomeDatabase().toUpper())
        .replace(u"$DB"_s, f->nomeDatabase())
        .replace(u"$CLUSTER"_s, FileProva::cluster())
        .replace(u"$UTENTE"_s, FileProva::server() ? utente + u" (pemtarx)"_s : utente)
        .replace(u"$COMPUTER"_s, QSysInfo::machineHostName());
}

QString TestCopioni::esito(const store::Esito& e, Archivio::Fase fase) const
{
    static const char* const fasi[] = {"", " registro", " testata"};
    return (e.ok() ? u"ok"_s : u"errore %1"_s.arg(e.numero)) + QLatin1StringView(fasi[int(fase)]) +
           (e.ok() ? u""_s : u": "_s + e.descrizione);
}

QStringList TestCopioni::esegui(const QString& comando)
{
    const QString verbo = comando.section(u' ', 0, 0), resto = comando.section(u' ', 1);
    const QStringList a = resto.split(u'|');
    std::unique_ptr<Archivio>& archivio = archivi[chi];
    static const QStringList delloStore{u"registri"_s, u"testata"_s, u"aperte"_s, u"verifica"_s, u"scrivi"_s, u"salva"_s,
                                        u"elimina"_s, u"cancella"_s, u"trova"_s, u"leggi"_s, u"cerca"_s};
    if (!archivio && delloStore.contains(verbo)) {
        archivio = std::make_unique<Archivio>(chi);
        for (const store::Esito& e : {archivio->apriDatabase(f->percorso()), archivio->apriRegistri(), archivio->apriTestata()})
            if (!e.ok() && verbo != u"registri"_s && verbo != u"testata"_s)
                return {esito(e)};
    }
    Archivio::Fase fase = Archivio::Fase::Nessuna;
    if (verbo == u"usa"_s)
        chi = resto;
    else if (verbo == u"apri"_s) {
        orologio.start();
        archivio = std::make_unique<Archivio>(chi);
        return {esito(archivio->apriDatabase(a.front().isEmpty() ? f->percorso() : a.front(), a.value(1, u"5000"_s).toInt()))};
    } else if (verbo == u"registri"_s || verbo == u"testata"_s) {
        const bool registri = verbo == u"registri"_s;
        const store::Esito e = registri ? archivio->apriRegistri() : archivio->apriTestata();
        const bool aperta = registri ? archivio->registriAperti() : archivio->testataAperta();
        return {esito(e) + (aperta == e.ok() ? u""_s : u" ma aperta %1"_s.arg(aperta))};
    } else if (verbo == u"aperte"_s)
        return {u"%1 %2"_s.arg(archivio->registriAperti()).arg(archivio->testataAperta())};
    else if (verbo == u"verifica"_s)
        return {esito(archivio->verificaScrittura())};
    else if (verbo == u"scrivi"_s || verbo == u"salva"_s) {
        const auto [r, t] = registroDa(resto);
        const Archivio::EsitoScrittura e = archivio->scrivi(r, t, verbo == u"salva"_s ? &mostrate : nullptr);
        return {esito(e.esito, e.fase)};
    } else if (verbo == u"elimina"_s || verbo == u"cancella"_s) {
        const store::Esito e = archivio->elimina(resto, &fase, verbo == u"cancella"_s ? &mostrate : nullptr);
        return {esito(e, fase)};
    } else if (verbo == u"trova"_s) {
        mostrate = {};
        const store::Esito e = archivio->trova(resto, mostrate);
        return {e.ok() ? comeLetti(mostrate) : esito(e)};
    } else if (verbo == u"leggi"_s) {
        QStringList letti;
        const store::Esito e = archivio->leggi(resto, {}, [&](const QSqlQuery& q) { letti << q.value(0).toString(); });
        return e.ok() ? letti : QStringList{esito(e)};
    } else if (verbo == u"cerca"_s) {
        // Two rows a page, every page starting after the last row of the one before.
        const auto tipo = a.front() == u"codice"_s ? store::TipoRicerca::Codice : store::TipoRicerca::Descrizione;
        const int colonna = tipo == store::TipoRicerca::Codice ? store::trCodice : store::trDescrizione;
        QStringList trovati;
        std::optional<store::Seguito> dopo;
        for (qsizetype prima = -1; prima < trovati.size() && trovati.size() < 50;) {
            prima = trovati.size();
            QString sql;
            const store::Esito e = store::esegui(*archivio, store::cercaRegistri(archivio->database().driver(), tipo, a.at(1), dopo, 2), sql,
                                                 [&](const QSqlQuery& q) {
                                                     trovati << q.value(store::trCodice).toString();
                                                     dopo = store::Seguito{q.value(colonna).toString(), trovati.back()};
                                                 });
            if (!e.ok())
                return {esito(e)};
            if (trovati.size() - prima < 2)
                break;
        }
        if (!FileProva::server())
            return {trovati.join(u' ')};
        // On the server both the range and the order come from an index, never from a sort of the table.
        store::Istruzione i = store::cercaRegistri(archivio->database().driver(), tipo, a.at(1), std::nullopt, 50);
        for (qsizetype n = 0; n < i.valori.size(); ++n)
            i.sql.replace(i.sql.indexOf(u'?'), 1, u'$' + QString::number(n + 1));
        QSqlQuery q(f->altraConnessione(u"piano"_s));
        for (const QString& sql : {u"SET enable_seqscan = off"_s, u"SET enable_bitmapscan = off"_s,
                                   u"SET enable_sort = off"_s, u"DEALLOCATE ALL"_s, QString(u"PREPARE ricerca AS "_s + i.sql)})
            q.exec(sql);
        QStringList piano, valori;
        for (const QVariant& v : i.valori)
            valori << (v.typeId() == QMetaType::QString ? u'\'' + v.toString() + u'\'' : v.toString());
        for (q.exec(u"EXPLAIN EXECUTE ricerca("_s + valori.join(u", "_s) + u')'); q.next();)
            piano << q.value(0).toString();
        const bool indice = piano.join(u' ').contains(u"Index"_s) && !piano.join(u' ').contains(u"Sort"_s);
        return {trovati.join(u' ') + (indice ? u""_s : u" SENZA INDICE: "_s + piano.join(u' ') + q.lastError().text())};
    } else if (verbo == u"sql"_s)
        return resto.startsWith(u'@') ? FileProva(resto.section(u' ', 0, 0).mid(1)).righe(resto.section(u' ', 1))
                                      : f->righe(resto);
    else if (verbo == u"tieni"_s || verbo == u"lascia"_s) {
        // Another clerk's connection holding what its statements lock, until it lets go.
        QSqlQuery q(f->altraConnessione(u"altro"_s));
        if (!q.exec(verbo == u"lascia"_s ? u"ROLLBACK"_s : FileProva::quotaNomi(resto)))
            return {q.lastError().text()};
        if (verbo == u"lascia"_s)
            q.finish(), QSqlDatabase::database(u"altro"_s, false).close();
    } else if (verbo == u"blocca"_s) {
        bloccante.start(QStringLiteral(SCRITTORE), {u"blocca"_s, f->percorso()});
        if (!bloccante.waitForReadyRead(10000))
            return {QString::fromUtf8(bloccante.readAllStandardError())};
        return {QString::fromUtf8(bloccante.readLine()).trimmed()};
    } else if (verbo == u"sblocca"_s) {
        bloccante.closeWriteChannel();
        if (!bloccante.waitForFinished() || bloccante.exitCode() != 0)
            return {QString::fromUtf8(bloccante.readAllStandardError())};
    } else if (verbo == u"scrittore"_s) {
        const Uscita u = lancia(QStringLiteral(SCRITTORE), QStringList{a.front(), f->percorso()} + a.mid(1));
        if (u.codice != 0)
            return {u.errori};
    } else if (verbo == u"db"_s) {
        QStringList argomenti = resto.split(u' ', Qt::SkipEmptyParts);
        argomenti.replaceInStrings(u"''"_s, QString());
        const Uscita u = lancia(QStringLiteral(PEMTARX_DB), argomenti);
        QStringList uscita{QString::number(u.codice)};
        for (const QString& l : u.standard.split(u'\n', Qt::SkipEmptyParts))
            uscita << l;
        for (const QString& l : u.errori.split(u'\n', Qt::SkipEmptyParts))
            uscita << u"! "_s + l;
        return {uscita.join(u" / "_s)};
    } else if (verbo == u"crea"_s) {
        if (!f->crea())
            return {u"non creato"_s};
    } else if (verbo == u"rifiuta"_s) {
        // A trigger that makes one kind of statement on one table fail, as a schema change of another program would.
        const QString quando = a.front().section(u' ', 0, 0), tabella = a.front().section(u' ', 1);
        QStringList sql = FileProva::server()
            ? QStringList{u"CREATE OR REPLACE FUNCTION rifiuta() RETURNS trigger LANGUAGE plpgsql AS "
                          u"$$BEGIN RAISE EXCEPTION 'rifiutato dalla prova'; END$$"_s,
                          u"CREATE TRIGGER rifiuta BEFORE %1 ON %2 FOR EACH ROW EXECUTE FUNCTION rifiuta()"_s}
            : QStringList{u"CREATE TRIGGER rifiuta BEFORE %1 ON %2 BEGIN SELECT RAISE(ABORT, 'rifiutato dalla prova'); END"_s};
        if (resto.isEmpty())
            sql = {FileProva::server() ? u"DROP FUNCTION rifiuta() CASCADE"_s : u"DROP TRIGGER rifiuta"_s};
        QStringList errori;
        for (const QString& s : sql)
            errori += f->righe(s.contains(u"%1"_s) ? s.arg(quando, tabella) : s);
        return errori;
    } else if (verbo == u"nulli"_s) {
        QStringList nulli;
        for (const auto& [tabella, colonne] : {std::pair{store::tabellaRegistri, store::colonneRegistri()},
                                              std::pair{store::tabellaTestata, store::colonneTestata()}})
            for (const store::Colonna& c : colonne)
                if (f->righe(u"SELECT COUNT(*) FROM %2 WHERE %1 IS NULL"_s.arg(c.nome, tabella)) != QStringList{u"0"_s})
                    nulli << tabella + u'.' + c.nome;
        return {nulli.join(u' ')};
    } else if (verbo == u"storico"_s) {
        // What history row N holds of both rows, beside what the tables hold now: the same.
        QStringList colonne;
        for (const store::Colonna& c : store::colonneStorico().subspan(store::colonneProprieStorico))
            colonne << u"s."_s + c.nome;
        const QString sql = u"SELECT %1 FROM StoricoRegistri s, TabellaSerieSemplificata r JOIN TestataRegistriPS t ON "
                            u"t.TpsCodice = r.SspCodice WHERE s.StoNumero = %2 AND r.SspCodice = s.SspCodice"_s;
        const QStringList storia = f->righe(sql.arg(colonne.join(u", "_s), a.front()));
        const QStringList ora = f->righe(sql.arg(colonne.join(u", "_s).replace(u"s.Ssp"_s, u"r.Ssp"_s).replace(u"s.Tps"_s, u"t.Tps"_s), a.front()));
        if (storia != ora || storia.isEmpty())
            return {u"diversi: "_s + storia.join(u' '), u"dalle tabelle: "_s + ora.join(u' ')};
        const QStringList r = f->righe(u"SELECT StoUtente, StoComputer, StoQuando FROM StoricoRegistri WHERE StoNumero = "_s + a.front());
        const QString quando = r.value(0).section(u'|', 2);
        const QDateTime momento = QDateTime::fromString(quando, Qt::ISODateWithMs);
        const bool recente = quando.size() == 24 && quando.endsWith(u'Z') && momento >= inizio &&
                             momento <= QDateTime::currentDateTimeUtc().addSecs(1);
        return {r.value(0).section(u'|', 0, 1) + (recente ? u"|ora"_s : u'|' + quando)};
    } else if (verbo == u"confronta"_s) {
        // Every row of the three tables of two stores.
        QStringList righe[2];
        for (int i = 0; i < 2; ++i)
            for (const QLatin1StringView t : {store::tabellaRegistri, store::tabellaTestata, store::tabellaStorico})
                if (t != store::tabellaStorico || a.value(2) == u"storico"_s)
                    righe[i] += FileProva(a.value(i)).righe(u"SELECT * FROM %1 ORDER BY 1"_s.arg(t));
        return {righe[0] == righe[1] ? u"uguali, %1 righe"_s.arg(righe[0].size()) : u"diversi"_s};
    } else if (verbo == u"byte"_s) {
        QFile file(f->percorso());
        QByteArray b;
        if (resto == u"rovina"_s) {
            // Every page after the first loses its b-tree header.
            b = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            file.close();
            for (qsizetype pagina = 4096; pagina < b.size(); pagina += 4096)
                b.replace(pagina, 12, QByteArray(12, '\xff'));
        } else if (resto == u"jet"_s) {
            b = QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(4076, 'J');
        } else if (resto == u"casuali"_s) {
            QRandomGenerator g(7);
            for (int i = 0; i < 16384; ++i)
                b += char(g.bounded(256));
        } else {
            b = resto.toUtf8().replace("\\n", "\r\n");
        }
        if (!file.open(QIODevice::WriteOnly) || file.write(b) != b.size())
            return {file.errorString()};
    } else if (verbo == u"file"_s) {
        QFile file(a.front());
        if (!file.open(QIODevice::WriteOnly) || file.write(a.value(1).replace(u"\\n"_s, u"\r\n"_s).toUtf8()) < 0)
            return {file.errorString()};
    } else if (verbo == u"cartella"_s)
        QDir().mkpath(resto);
    else if (verbo == u"sposta"_s)
        QFile::rename(a.front(), a.value(1));
    else if (verbo == u"contenuto"_s)
        return {QDir(resto.isEmpty() ? f->cartella() : resto).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name).join(u' ')};
    else if (verbo == u"tempo"_s) {
        const qint64 trascorsi = orologio.restart();
        if (trascorsi < resto.section(u' ', 0, 0).toInt() || trascorsi > resto.section(u' ', 1).toInt())
            return {u"%1 ms"_s.arg(trascorsi)};
    } else if (verbo == u"taglia"_s)
        // The server ends the store's connections, as a restart or a broken network would.
        return f->righe(u"SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE application_name = 'pemtarx' "
                        u"AND datname = current_database()"_s);
    else if (verbo == u"testo"_s)
        return {u'[' + store::testoCampo(valore(a.front()), a.value(1)) + u']'};
    else if (verbo == u"numero"_s)
        return {store::numeroCampo(valore(resto))};
    else if (verbo == u"indirizzo"_s) {
        const std::optional<store::Server> s = store::server(resto);
        if (!s)
            return {u"file"_s};
        const QString letto = QStringList({s->host, s->porta, s->utente, s->nome, s->opzioni.join(u'&')}).join(u'|');
        return {letto + (store::server(store::indirizzo(*s)) == s ? u""_s : u" (riscritto altrimenti)"_s)};
    } else
        return {u"VERBO SCONOSCIUTO: "_s + verbo};
    return {};
}

QTEST_GUILESS_MAIN(TestCopioni)
#include "copione.moc"
