#include "strumento.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace strumento;

namespace {

QStringList contenuto(const QString& cartella)
{
    return QDir(cartella).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// pemtarx-db crea, esempio and verifica on real files (copia in tst_tools_server); foreign files are never changed.
class TestPemtarxDb final : public QObject {
    Q_OBJECT
private slots:
    void init();

    void usoErrato_data();
    void usoErrato();
    void archivioDalleImpostazioni_data();
    void archivioDalleImpostazioni();
    void fileEsistenteNonToccato_data();
    void fileEsistenteNonToccato();
    void esempioRealistico();
    void verificaRifiuta_data();
    void verificaRifiuta();
    void verificaArchivioBloccato();

private:
    std::unique_ptr<QTemporaryDir> cartella;
    QString file;
};

void TestPemtarxDb::init()
{
    cartella = std::make_unique<QTemporaryDir>();
    QVERIFY(cartella->isValid());
    file = cartella->filePath(u"dogana.mdb"_s);
    // A name the tool took for a file would appear here.
    QDir::setCurrent(cartella->path());
}

void TestPemtarxDb::usoErrato_data()
{
    QTest::addColumn<QStringList>("argomenti");
    QTest::addColumn<int>("codice");
    QTest::addColumn<QStringList>("messaggi");
    QTest::newRow("aiuto con ogni comando")
        << QStringList{u"--help"_s} << 0 << QStringList{u"crea FILE"_s,          u"esempio FILE"_s,
                                                        u"verifica FILE"_s,      u"copia SORGENTE DESTINAZIONE"_s,
                                                        u"--ini IMPOSTAZIONI"_s, u"postgresql://"_s,
                                                        u"~/.pgpass"_s,          u"storico FILE"_s,
                                                        u"ripristina FILE"_s};
    const QString uso = u"USO: pemtarx-db"_s;
    QTest::newRow("nessun comando") << QStringList() << 2 << QStringList{u"COMANDO MANCANTE"_s, uso};
    QTest::newRow("comando sconosciuto") << QStringList{u"ripara"_s, u"FILE"_s} << 2
                                         << QStringList{u"COMANDO SCONOSCIUTO: ripara"_s, uso};
    const QStringList errati{u"ARGOMENTI ERRATI"_s, uso};
    QTest::newRow("crea senza file") << QStringList{u"crea"_s} << 2 << errati;
    QTest::newRow("verifica con due file") << QStringList{u"verifica"_s, u"a"_s, u"b"_s} << 2 << errati;
    QTest::newRow("copia senza destinazione") << QStringList{u"copia"_s, u"a"_s} << 2 << errati;
    QTest::newRow("--ini senza file") << QStringList{u"crea"_s, u"--ini"_s} << 2 << errati;
    QTest::newRow("--ini e un file") << QStringList{u"crea"_s, u"--ini"_s, u"/dev/null"_s, u"b"_s} << 2 << errati;
    // An option is never a file name, and an empty name is none.
    for (const QString& aiuto : {u"--help"_s, u"-h"_s})
        QTest::addRow("crea %s", qPrintable(aiuto)) << QStringList{u"crea"_s, aiuto} << 0 << QStringList{uso};
    QTest::newRow("crea --version") << QStringList{u"crea"_s, u"--version"_s} << 0 << QStringList{u"pemtarx-db 1."_s};
    QTest::newRow("opzione sconosciuta") << QStringList{u"esempio"_s, u"-f"_s} << 2
                                         << QStringList{u"OPZIONE SCONOSCIUTA: -f"_s, uso};
    QTest::newRow("nome vuoto") << QStringList{u"crea"_s, u""_s} << 2 << QStringList{u"NOME DI FILE VUOTO"_s, uso};
    QTest::newRow("cartella mancante") << QStringList{u"crea"_s, u"/manca-pemtarx/dogana.mdb"_s} << 1
                                       << QStringList{u"CARTELLA INESISTENTE: /manca-pemtarx"_s};
    const QStringList soloFile{u"IMPORTA LAVORA SOLO SU FILE, NON SU UN SERVER: postgresql://h:54331/d"_s};
    QTest::newRow("importa verso un server") << QStringList{u"importa"_s, u"a.mdb"_s, u"postgresql://h:54331/d"_s}
                                             << 1 << soloFile;
    QTest::newRow("importa da un server") << QStringList{u"importa"_s, u"postgresql://h:54331/d"_s, u"b.mdb"_s} << 1
                                          << soloFile;
}

void TestPemtarxDb::usoErrato()
{
    QFETCH(QStringList, argomenti);
    QFETCH(int, codice);
    QFETCH(QStringList, messaggi);
    const Uscita u = pemtarxDb(argomenti);
    QCOMPARE(u.codice, codice);
    for (const QString& m : messaggi)
        QVERIFY2((codice ? u.errori : u.standard).contains(m), qPrintable(m));
    QCOMPARE(contenuto(cartella->path()), QStringList());
}

void TestPemtarxDb::archivioDalleImpostazioni_data()
{
    QTest::addColumn<QString>("comando");
    QTest::addColumn<QString>("esito");
    QTest::newRow("crea") << u"crea"_s << u"ARCHIVIO CREATO: "_s;
    QTest::newRow("esempio") << u"esempio"_s << u"ARCHIVIO DI ESEMPIO CREATO: "_s;
}

void TestPemtarxDb::archivioDalleImpostazioni()
{
    QFETCH(QString, comando);
    QFETCH(QString, esito);
    const QString ini = cartella->filePath(u"Quendrix.ini"_s);
    QVERIFY(scriviByte(ini, u"[BASE]\r\nDITTA=x1\r\n[PATH]\r\nDIRINI=%1/\r\n"_s.arg(cartella->path()).toLatin1()));
    QVERIFY(QDir(cartella->path()).mkdir(u"X1"_s));
    const QString archivio = cartella->filePath(u"X1/dogana.mdb"_s);
    const Uscita u = pemtarxDb({comando, u"--ini"_s, ini});
    QCOMPARE(u.errori, QString());
    QCOMPARE(u.codice, 0);
    QVERIFY2(u.standard.startsWith(esito + archivio), qPrintable(u.standard));
    QCOMPARE(pemtarxDb({u"verifica"_s, u"--ini"_s, ini}).codice, 0);
    QCOMPARE(contenuto(cartella->filePath(u"X1"_s)), QStringList{u"dogana.mdb"_s});
    QVERIFY(QFile::rename(archivio, cartella->filePath(u"X1/DOGANA.MDB"_s)));
    QCOMPARE(pemtarxDb({comando, u"--ini"_s, ini}).errori.trimmed(),
             u"FILE ESISTENTE: "_s + cartella->filePath(u"X1/DOGANA.MDB"_s));
    // Two folders whose names differ only in case: neither is taken.
    QVERIFY(scriviByte(ini, u"[BASE]\r\nDITTA=ab\r\n[PATH]\r\nDIRINI=%1/\r\n"_s.arg(cartella->path()).toLatin1()));
    QVERIFY(QDir(cartella->path()).mkdir(u"AB"_s) && QDir(cartella->path()).mkdir(u"aB"_s));
    const Uscita a = pemtarxDb({comando, u"--ini"_s, ini});
    QCOMPARE(a.codice, 1);
    QCOMPARE(a.errori.trimmed(), u"NOMI CHE DIFFERISCONO SOLO PER LE MAIUSCOLE, NESSUNO USATO: %1/AB, %1/aB"_s.arg(cartella->path()));
    QCOMPARE(contenuto(cartella->filePath(u"AB"_s)) + contenuto(cartella->filePath(u"aB"_s)), QStringList());

    const Uscita v = pemtarxDb({comando, u"--ini"_s, cartella->filePath(u"manca.ini"_s)});
    QCOMPARE(v.codice, 1);
    QCOMPARE(v.errori.trimmed(), u"FILE INESISTENTE: "_s + cartella->filePath(u"manca.ini"_s));
}

void TestPemtarxDb::fileEsistenteNonToccato_data()
{
    QTest::addColumn<QString>("comando");
    QTest::addColumn<QByteArray>("byte");
    const QByteArray testo("[BASE]\r\nDITTA=001\r\n");
    for (const QString& comando : {u"crea"_s, u"esempio"_s}) {
        QTest::addRow("%s su un file di testo", qPrintable(comando)) << comando << testo;
        QTest::addRow("%s su un file vuoto", qPrintable(comando)) << comando << QByteArray();
        QTest::addRow("%s su un archivio", qPrintable(comando)) << comando << QByteArray("crea");
    }
}

void TestPemtarxDb::fileEsistenteNonToccato()
{
    QFETCH(QString, comando);
    QFETCH(QByteArray, byte);
    if (byte == "crea")
        QCOMPARE(pemtarxDb({u"esempio"_s, file}).codice, 0);
    else
        QVERIFY(scriviByte(file, byte));
    const QByteArray prima = leggiByte(file);
    const Uscita u = pemtarxDb({comando, file});
    QCOMPARE(u.codice, 1);
    QCOMPARE(u.errori.trimmed(), u"FILE ESISTENTE: "_s + file);
    QCOMPARE(leggiByte(file), prima);
    QCOMPARE(contenuto(cartella->path()), QStringList{u"dogana.mdb"_s});
}

void TestPemtarxDb::esempioRealistico()
{
    const Uscita u = pemtarxDb({u"esempio"_s, file});
    QCOMPARE(u.codice, 0);
    QCOMPARE(u.errori, QString());
    const auto conta = [&](const QString& dove) {
        return valoreFile(file, u"SELECT COUNT(*) FROM TabellaSerieSemplificata c JOIN TestataRegistriPS ON "_s
                                u"TpsCodice = c.SspCodice WHERE "_s +
                                    dove)
            .toInt();
    };
    const int registri = conta(u"1"_s);
    QVERIFY2(registri >= 15 && registri <= 25, qPrintable(QString::number(registri)));
    QCOMPARE(valoreFile(file, u"SELECT COUNT(*) FROM TabellaSerieSemplificata"_s).toInt(), registri);
    QCOMPARE(valoreFile(file, u"SELECT COUNT(*) FROM TestataRegistriPS"_s).toInt(), registri);
    for (const char* tipo : {"G", "C", "S"})
        QVERIFY2(conta(u"SspCarScar = '%1'"_s.arg(QLatin1StringView(tipo))) >= 3, tipo);

    // Every column of every row holds a value, never Null, as the program writes them.
    for (const QString& tabella : {u"TabellaSerieSemplificata"_s, u"TestataRegistriPS"_s})
        for (const QString& c : righeFile(file, u"SELECT name FROM pragma_table_info('%1')"_s.arg(tabella)))
            QVERIFY2(valoreFile(file, u"SELECT COUNT(*) FROM %1 WHERE \"%2\" IS NULL"_s.arg(tabella, c)) == u"0"_s,
                     qPrintable(c));

    // The writer's invariants per type; links of loading registers name a group and an unloading register.
    for (const QString& violata :
         {u"SspCarScar = 'S' AND NOT (SspGruppoCarico = '' AND SspGruppoSCarico = '.' AND SspCodiceDischetto = '' "
          u"AND SspMeccanogCin = '' AND SspCodAutorizzazione = '' AND SspNTelefonoDaChiamare = '' AND SspRiqA = '' "
          u"AND SspMeccanogNum = 0)"_s,
          u"SspCarScar IN ('C', 'G') AND (SspStampaperSerie <> 0 OR trim(SspGruppoCarico) = '' OR "
          u"trim(SspGruppoSCarico) = '')"_s,
          u"NOT (SspUltimaFilialeCheHaAcquisito = ' ' AND SspDataUltimaAcquisizione = 0 AND "
          u"SspUltimoBloccoNumeriAcquisiti = 0 AND SspFilialeCheHaIRegistri = ' ')"_s,
          u"c.SspCarScar = 'C' AND ((c.SspGruppoCarico <> '.' AND NOT EXISTS (SELECT 1 FROM TabellaSerieSemplificata g "
          u"WHERE g.SspCodice = c.SspGruppoCarico AND g.SspCarScar = 'G')) OR (c.SspGruppoSCarico <> '.' AND NOT "
          u"EXISTS (SELECT 1 FROM TabellaSerieSemplificata s WHERE s.SspCodice = c.SspGruppoSCarico AND "
          u"s.SspCarScar = 'S')))"_s,
          u"SspCarScar = 'S' AND (TpsRiga1 = '' OR TpsRiga2 = '')"_s, u"TpsRiga1 <> trim(TpsRiga1)"_s})
        QVERIFY2(conta(violata) == 0, qPrintable(violata));
    // Unloading registers carry their heading lines, a few with the two placeholders.
    for (const QString& presente : {u"SspCarScar = 'C' AND SspGruppoCarico <> '.'"_s, u"TpsRiga1 LIKE 'DOGANA DI %'"_s,
                                    u"(TpsRiga1 || TpsRiga2 || TpsRiga3 || TpsRiga4 || TpsRiga5) LIKE '%@%'"_s,
                                    u"(TpsRiga1 || TpsRiga2 || TpsRiga3 || TpsRiga4 || TpsRiga5) LIKE '%#%'"_s})
        QVERIFY2(conta(presente) > 0, qPrintable(presente));

    const Uscita v = pemtarxDb({u"verifica"_s, file});
    QCOMPARE(v.codice, 0);
    QCOMPARE(v.errori, QString());
}

void TestPemtarxDb::verificaRifiuta_data()
{
    QTest::addColumn<QString>("preparazione");
    QTest::addColumn<QString>("messaggio");

    QTest::newRow("file mancante") << u"mancante"_s << u"FILE INESISTENTE: "_s;
    QTest::newRow("byte casuali") << u"casuali"_s << u"IL FILE NON E' UN ARCHIVIO DEI REGISTRI"_s;
    QTest::newRow("motore originale") << u"jet"_s << u"ARCHIVIO DEL VECCHIO FORMATO"_s;
    QTest::newRow("file vuoto") << u"vuoto"_s << u"TABELLA MANCANTE: TabellaSerieSemplificata"_s;
    QTest::newRow("senza testata") << u"DROP TABLE TestataRegistriPS"_s << u"TABELLA MANCANTE: TestataRegistriPS"_s;
    QTest::newRow("colonna mancante") << u"ALTER TABLE TabellaSerieSemplificata DROP COLUMN SspRiqA"_s
                                      << u"COLONNA MANCANTE: TabellaSerieSemplificata.SspRiqA"_s;
    QTest::newRow("codice senza chiave")
        << u"DROP TABLE TestataRegistriPS; CREATE TABLE TestataRegistriPS (TpsCodice TEXT, TpsRiga1 TEXT, "
           u"TpsRiga2 TEXT, TpsRiga3 TEXT, TpsRiga4 TEXT, TpsRiga5 TEXT, TpsRigP1 TEXT, TpsRigP2 TEXT, "
           u"TpsRigP3 TEXT, TpsRigP4 TEXT, TpsRigP5 TEXT)"_s
        << u"CHIAVE PRIMARIA MANCANTE NELLA TABELLA: TestataRegistriPS"_s;
    QTest::newRow("pagine rovinate") << u"rovinato"_s << u"ARCHIVIO DANNEGGIATO: "_s;
    // Rows without their pair are only reported, and a file made before the history is sound.
    QTest::newRow("righe spaiate, senza storico")
        << u"esempio; DELETE FROM TestataRegistriPS WHERE TpsCodice = 'CLOC'; INSERT INTO "_s
           u"TestataRegistriPS (TpsCodice, TpsRiga1) VALUES ('ORFANA', 'DOGANA DI COMO'); DROP TABLE StoricoRegistri"_s
        << u"ATTENZIONE: REGISTRO SENZA TESTATA: CLOC\nATTENZIONE: TESTATA SENZA REGISTRO: ORFANA"_s;
}

void TestPemtarxDb::verificaRifiuta()
{
    QFETCH(QString, preparazione);
    QFETCH(QString, messaggio);
    if (preparazione == u"casuali"_s) {
        QByteArray b(16384, '\0');
        QRandomGenerator g(7);
        for (char& c : b)
            c = static_cast<char>(g.bounded(256));
        QVERIFY(scriviByte(file, b));
    } else if (preparazione == u"jet"_s) {
        QVERIFY(scriviByte(file, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(4076, 'J')));
    } else if (preparazione == u"vuoto"_s) {
        QVERIFY(scriviByte(file, {}));
    } else if (preparazione == u"rovinato"_s) {
        QCOMPARE(pemtarxDb({u"esempio"_s, file}).codice, 0);
        QByteArray b = leggiByte(file);
        // Every page after the first loses its b-tree header.
        for (qsizetype pagina = 4096; pagina < b.size(); pagina += 4096)
            for (int i = 0; i < 12; ++i)
                b[pagina + i] = '\xff';
        QVERIFY(scriviByte(file, b));
    } else if (preparazione != u"mancante"_s) {
        QStringList sql = preparazione.split(u"; "_s);
        QCOMPARE(pemtarxDb({sql.front() == u"esempio"_s ? sql.takeFirst() : u"crea"_s, file}).codice, 0);
        QCOMPARE(eseguiFile(file, sql), QString());
    }
    const QStringList prima = contenuto(cartella->path());
    const QByteArray byte = leggiByte(file);

    const Uscita u = pemtarxDb({u"verifica"_s, file});
    const bool sano = messaggio.startsWith(u"ATTENZIONE"_s);
    QCOMPARE(u.codice, sano ? 0 : 1);
    QVERIFY2(u.errori.contains(QRegularExpression(messaggio)), qPrintable(u.errori));
    QCOMPARE(u.standard.startsWith(u"ARCHIVIO INTEGRO: "_s), sano);
    if (preparazione.endsWith(u"DROP TABLE StoricoRegistri"_s))
        QVERIFY2(u.standard.contains(u"STORICO NON ANCORA PRESENTE, SARA' AGGIUNTO AL PRIMO SALVATAGGIO"_s),
                 qPrintable(u.standard));
    QCOMPARE(contenuto(cartella->path()), prima);
    QCOMPARE(leggiByte(file), byte);
}

void TestPemtarxDb::verificaArchivioBloccato()
{
    QCOMPARE(pemtarxDb({u"esempio"_s, file}).codice, 0);
    const Uscita u = conFile(file, [&](QSqlDatabase db) {
        QSqlQuery q(db);
        if (!q.exec(u"BEGIN EXCLUSIVE"_s) || !q.exec(u"DELETE FROM TestataRegistriPS"_s))
            return Uscita{};
        const Uscita bloccato = pemtarxDb({u"verifica"_s, file});
        q.exec(u"ROLLBACK"_s);
        return bloccato;
    });
    QCOMPARE(u.codice, 1);
    QVERIFY2(u.errori.contains(u"ARCHIVIO BLOCCATO DA UN ALTRO UTENTE: "_s + file + u"\ndatabase is locked"_s),
             qPrintable(u.errori));
}

QTEST_GUILESS_MAIN(TestPemtarxDb)
#include "tst_tools_pemtarxdb.moc"
