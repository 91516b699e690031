#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Uscita {
    int codice = -1;
    QString standard, errori;
};

Uscita pemtarxDb(const QStringList& argomenti)
{
    QProcess p;
    p.start(QStringLiteral(PEMTARX_DB), argomenti);
    Uscita u;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return u;
    u.codice = p.exitCode();
    u.standard = QString::fromUtf8(p.readAllStandardOutput());
    u.errori = QString::fromUtf8(p.readAllStandardError());
    return u;
}

QByteArray leggiByte(const QString& percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool scriviByte(const QString& percorso, const QByteArray& byte)
{
    QFile f(percorso);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(byte) == byte.size();
}

QStringList contenuto(const QString& cartella)
{
    return QDir(cartella).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A connection of the test's own to the company file, closed when it goes.
class Lettore final {
public:
    explicit Lettore(const QString& percorso) : nome_(u"lettore-"_s + percorso)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, nome_);
        db.setDatabaseName(percorso);
        db.open();
    }
    ~Lettore()
    {
        QSqlDatabase::database(nome_, false).close();
        QSqlDatabase::removeDatabase(nome_);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(nome_, false); }
    QList<QVariantList> righe(const QString& sql) const
    {
        QSqlQuery q(db());
        QList<QVariantList> r;
        if (!q.exec(sql))
            return {{q.lastError().text()}};
        while (q.next()) {
            QVariantList riga;
            for (int i = 0; i < q.record().count(); ++i)
                riga << q.value(i);
            r << riga;
        }
        return r;
    }
    QVariant valore(const QString& sql) const
    {
        const auto r = righe(sql);
        return r.isEmpty() || r.front().isEmpty() ? QVariant() : r.front().front();
    }
    QString esegui(const QStringList& sql) const
    {
        QSqlQuery q(db());
        for (const QString& s : sql)
            if (!q.exec(s))
                return q.lastError().text() + u": "_s + s;
        return {};
    }

private:
    QString nome_;
};

} // namespace

// pemtarx-db crea, esempio and verifica on real files; foreign files are never changed.
class TestPemtarxDb final : public QObject {
    Q_OBJECT
private slots:
    void init();

    void aiutoSpiegaOgniComando();
    void usoErrato_data();
    void usoErrato();
    void creaArchivioVuoto();
    void archivioDalleImpostazioni_data();
    void archivioDalleImpostazioni();
    void copiaTraFile();
    void fileEsistenteNonToccato_data();
    void fileEsistenteNonToccato();
    void esempioRealistico();
    void verificaRifiuta_data();
    void verificaRifiuta();
    void verificaArchivioBloccato();
    void righeSpaiateSoloSegnalate();

private:
    std::unique_ptr<QTemporaryDir> cartella;
    QString file;
};

void TestPemtarxDb::init()
{
    cartella = std::make_unique<QTemporaryDir>();
    QVERIFY(cartella->isValid());
    file = cartella->filePath(u"dogana.mdb"_s);
}

void TestPemtarxDb::aiutoSpiegaOgniComando()
{
    const Uscita u = pemtarxDb({u"--help"_s});
    QCOMPARE(u.codice, 0);
    for (const char* riga : {"crea FILE", "esempio FILE", "verifica FILE", "--help"})
        QVERIFY2(u.standard.contains(QLatin1StringView(riga)), riga);
    QCOMPARE(contenuto(cartella->path()), QStringList());
}

void TestPemtarxDb::usoErrato_data()
{
    QTest::addColumn<QStringList>("argomenti");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("nessun comando") << QStringList() << u"COMANDO MANCANTE"_s;
    QTest::newRow("comando sconosciuto") << QStringList{u"ripara"_s, u"FILE"_s} << u"COMANDO SCONOSCIUTO: ripara"_s;
    QTest::newRow("crea senza file") << QStringList{u"crea"_s} << u"ARGOMENTI ERRATI"_s;
    QTest::newRow("verifica con due file") << QStringList{u"verifica"_s, u"a"_s, u"b"_s} << u"ARGOMENTI ERRATI"_s;
    QTest::newRow("copia senza destinazione") << QStringList{u"copia"_s, u"a"_s} << u"ARGOMENTI ERRATI"_s;
    QTest::newRow("--ini senza file") << QStringList{u"crea"_s, u"--ini"_s} << u"ARGOMENTI ERRATI"_s;
    QTest::newRow("--ini e un file") << QStringList{u"crea"_s, u"--ini"_s, u"/dev/null"_s, u"b"_s}
                                     << u"ARGOMENTI ERRATI"_s;
}

void TestPemtarxDb::usoErrato()
{
    QFETCH(QStringList, argomenti);
    QFETCH(QString, messaggio);
    const Uscita u = pemtarxDb(argomenti);
    QCOMPARE(u.codice, 2);
    QVERIFY2(u.errori.contains(messaggio), qPrintable(u.errori));
    QVERIFY(u.errori.contains(u"USO: pemtarx-db"_s));
}

void TestPemtarxDb::creaArchivioVuoto()
{
    const Uscita u = pemtarxDb({u"crea"_s, file});
    QCOMPARE(u.codice, 0);
    {
        Lettore l(file);
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata"_s).toInt(), 0);
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM TestataRegistriPS"_s).toInt(), 0);
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM pragma_table_info('TabellaSerieSemplificata')"_s).toInt(), 19);
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM pragma_table_info('TestataRegistriPS')"_s).toInt(), 11);
    }
    const Uscita v = pemtarxDb({u"verifica"_s, file});
    QCOMPARE(v.codice, 0);
    QCOMPARE(v.errori, QString());
    QCOMPARE(contenuto(cartella->path()), QStringList{u"dogana.mdb"_s});
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
    QVERIFY(scriviByte(ini, u"[BASE]\r\nDITTA=X1\r\n[PATH]\r\nDIRINI=%1/\r\n"_s.arg(cartella->path()).toLatin1()));
    QVERIFY(QDir(cartella->path()).mkdir(u"X1"_s));
    const QString archivio = cartella->filePath(u"X1/dogana.mdb"_s);
    const Uscita u = pemtarxDb({comando, u"--ini"_s, ini});
    QCOMPARE(u.errori, QString());
    QCOMPARE(u.codice, 0);
    QVERIFY2(u.standard.startsWith(esito + archivio), qPrintable(u.standard));
    QCOMPARE(pemtarxDb({u"verifica"_s, u"--ini"_s, ini}).codice, 0);
    QCOMPARE(contenuto(cartella->filePath(u"X1"_s)), QStringList{u"dogana.mdb"_s});

    const Uscita v = pemtarxDb({comando, u"--ini"_s, cartella->filePath(u"manca.ini"_s)});
    QCOMPARE(v.codice, 1);
    QCOMPARE(v.errori.trimmed(), u"FILE INESISTENTE: "_s + cartella->filePath(u"manca.ini"_s));
}

void TestPemtarxDb::copiaTraFile()
{
    QCOMPARE(pemtarxDb({u"esempio"_s, file}).codice, 0);
    const QString copia = cartella->filePath(u"copia.mdb"_s);
    const Uscita u = pemtarxDb({u"copia"_s, file, copia});
    QCOMPARE(u.errori, QString());
    QCOMPARE(u.codice, 0);
    QVERIFY2(u.standard.startsWith(u"COPIATI 20 REGISTRI E 20 TESTATE DA "_s), qPrintable(u.standard));
    {
        Lettore a(file), b(copia);
        for (const char* sql : {"SELECT * FROM TabellaSerieSemplificata ORDER BY SspCodice",
                                "SELECT * FROM TestataRegistriPS ORDER BY TpsCodice"})
            QCOMPARE(b.righe(QLatin1StringView(sql)), a.righe(QLatin1StringView(sql)));
    }
    // A file that exists is never the destination, not even of a copy.
    const QByteArray prima = leggiByte(copia);
    const Uscita v = pemtarxDb({u"copia"_s, file, copia});
    QCOMPARE(v.codice, 1);
    QCOMPARE(v.errori.trimmed(), u"FILE ESISTENTE: "_s + copia);
    QCOMPARE(leggiByte(copia), prima);
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
    {
        Lettore l(file);
        const int registri = l.valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata"_s).toInt();
        QVERIFY2(registri >= 15 && registri <= 25, qPrintable(QString::number(registri)));
        for (const char* tipo : {"G", "C", "S"})
            QVERIFY2(l.valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata WHERE SspCarScar = '%1'"_s.arg(
                                  QLatin1StringView(tipo)))
                             .toInt() >= 3,
                     tipo);
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM TestataRegistriPS"_s).toInt(), registri);
        QCOMPARE(l.righe(u"SELECT SspCodice FROM TabellaSerieSemplificata LEFT JOIN TestataRegistriPS "
                         u"ON TpsCodice = SspCodice WHERE TpsCodice IS NULL"_s),
                 QList<QVariantList>());

        // Every column of every row holds a value, never Null, as the program writes them.
        for (const QString& tabella : {u"TabellaSerieSemplificata"_s, u"TestataRegistriPS"_s})
            for (const QVariantList& c : l.righe(u"SELECT name FROM pragma_table_info('%1')"_s.arg(tabella)))
                QCOMPARE(l.valore(u"SELECT COUNT(*) FROM %1 WHERE \"%2\" IS NULL"_s.arg(tabella, c.front().toString()))
                             .toInt(),
                         0);

        // The writer's invariants per type.
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata WHERE SspCarScar = 'S' AND NOT "
                          u"(SspGruppoCarico = '' AND SspGruppoSCarico = '.' AND SspCodiceDischetto = '' AND "
                          u"SspMeccanogCin = '' AND SspCodAutorizzazione = '' AND SspNTelefonoDaChiamare = '' AND "
                          u"SspRiqA = '' AND SspMeccanogNum = 0)"_s)
                     .toInt(),
                 0);
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata WHERE SspCarScar IN ('C', 'G') AND "
                          u"(SspStampaperSerie <> 0 OR trim(SspGruppoCarico) = '' OR trim(SspGruppoSCarico) = '')"_s)
                     .toInt(),
                 0);
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata WHERE NOT "
                          u"(SspUltimaFilialeCheHaAcquisito = ' ' AND SspDataUltimaAcquisizione = 0 AND "
                          u"SspUltimoBloccoNumeriAcquisiti = 0 AND SspFilialeCheHaIRegistri = ' ')"_s)
                     .toInt(),
                 0);
        // Links of the loading registers name a group and an unloading register that exist.
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata c WHERE c.SspCarScar = 'C' AND "
                          u"((c.SspGruppoCarico <> '.' AND NOT EXISTS (SELECT 1 FROM TabellaSerieSemplificata g "
                          u"WHERE g.SspCodice = c.SspGruppoCarico AND g.SspCarScar = 'G')) OR "
                          u"(c.SspGruppoSCarico <> '.' AND NOT EXISTS (SELECT 1 FROM TabellaSerieSemplificata s "
                          u"WHERE s.SspCodice = c.SspGruppoSCarico AND s.SspCarScar = 'S')))"_s)
                     .toInt(),
                 0);
        QVERIFY(l.valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata WHERE SspCarScar = 'C' AND "
                         u"SspGruppoCarico <> '.'"_s)
                    .toInt() > 0);
        // Unloading registers carry their heading lines, a few with the two placeholders.
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata JOIN TestataRegistriPS ON TpsCodice = "
                          u"SspCodice WHERE SspCarScar = 'S' AND (TpsRiga1 = '' OR TpsRiga2 = '')"_s)
                     .toInt(),
                 0);
        QVERIFY(l.valore(u"SELECT COUNT(*) FROM TestataRegistriPS WHERE TpsRiga1 LIKE 'DOGANA DI %'"_s).toInt() > 0);
        QVERIFY(l.valore(u"SELECT COUNT(*) FROM TestataRegistriPS WHERE (TpsRiga1 || TpsRiga2 || TpsRiga3 || "
                         u"TpsRiga4 || TpsRiga5) LIKE '%@%'"_s)
                    .toInt() > 0);
        QVERIFY(l.valore(u"SELECT COUNT(*) FROM TestataRegistriPS WHERE (TpsRiga1 || TpsRiga2 || TpsRiga3 || "
                         u"TpsRiga4 || TpsRiga5) LIKE '%#%'"_s)
                    .toInt() > 0);
        QCOMPARE(l.valore(u"SELECT COUNT(*) FROM TestataRegistriPS WHERE TpsRiga1 <> trim(TpsRiga1)"_s).toInt(), 0);
    }
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
    QTest::newRow("senza testata") << u"DROP TABLE TestataRegistriPS"_s
                                   << u"TABELLA MANCANTE: TestataRegistriPS"_s;
    QTest::newRow("colonna mancante") << u"ALTER TABLE TabellaSerieSemplificata DROP COLUMN SspRiqA"_s
                                      << u"COLONNA MANCANTE: TabellaSerieSemplificata.SspRiqA"_s;
    QTest::newRow("codice senza chiave")
        << u"DROP TABLE TestataRegistriPS; CREATE TABLE TestataRegistriPS (TpsCodice TEXT, TpsRiga1 TEXT, "
           u"TpsRiga2 TEXT, TpsRiga3 TEXT, TpsRiga4 TEXT, TpsRiga5 TEXT, TpsRigP1 TEXT, TpsRigP2 TEXT, "
           u"TpsRigP3 TEXT, TpsRigP4 TEXT, TpsRigP5 TEXT)"_s
        << u"CHIAVE PRIMARIA MANCANTE NELLA TABELLA: TestataRegistriPS"_s;
    QTest::newRow("pagine rovinate") << u"rovinato"_s << u"ARCHIVIO DANNEGGIATO: "_s;
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
        QCOMPARE(pemtarxDb({u"crea"_s, file}).codice, 0);
        Lettore l(file);
        QCOMPARE(l.esegui(preparazione.split(u"; "_s)), QString());
    }
    const QStringList prima = contenuto(cartella->path());
    const QByteArray byte = leggiByte(file);

    const Uscita u = pemtarxDb({u"verifica"_s, file});
    QCOMPARE(u.codice, 1);
    QVERIFY2(u.errori.contains(QRegularExpression(messaggio)), qPrintable(u.errori));
    QCOMPARE(u.standard, QString());
    QCOMPARE(contenuto(cartella->path()), prima);
    QCOMPARE(leggiByte(file), byte);
}

void TestPemtarxDb::verificaArchivioBloccato()
{
    QCOMPARE(pemtarxDb({u"esempio"_s, file}).codice, 0);
    Lettore l(file);
    QCOMPARE(l.esegui({u"BEGIN EXCLUSIVE"_s, u"DELETE FROM TestataRegistriPS"_s}), QString());
    const Uscita u = pemtarxDb({u"verifica"_s, file});
    QCOMPARE(u.codice, 1);
    QVERIFY2(u.errori.contains(u"ARCHIVIO BLOCCATO DA UN ALTRO UTENTE: "_s + file + u"\ndatabase is locked"_s),
             qPrintable(u.errori));
    QCOMPARE(l.esegui({u"ROLLBACK"_s}), QString());
}

void TestPemtarxDb::righeSpaiateSoloSegnalate()
{
    QCOMPARE(pemtarxDb({u"esempio"_s, file}).codice, 0);
    {
        Lettore l(file);
        QCOMPARE(l.esegui({u"DELETE FROM TestataRegistriPS WHERE TpsCodice = 'CLOC'"_s,
                           u"INSERT INTO TestataRegistriPS (TpsCodice, TpsRiga1) VALUES ('ORFANA', 'DOGANA DI COMO')"_s}),
                 QString());
    }
    const QByteArray prima = leggiByte(file);
    const Uscita u = pemtarxDb({u"verifica"_s, file});
    QCOMPARE(u.codice, 0);
    QVERIFY2(u.errori.contains(u"ATTENZIONE: REGISTRO SENZA TESTATA: CLOC"_s), qPrintable(u.errori));
    QVERIFY2(u.errori.contains(u"ATTENZIONE: TESTATA SENZA REGISTRO: ORFANA"_s), qPrintable(u.errori));
    QVERIFY(u.standard.startsWith(u"ARCHIVIO INTEGRO: "_s));
    QCOMPARE(leggiByte(file), prima);
}

QTEST_GUILESS_MAIN(TestPemtarxDb)
#include "tst_tools_pemtarxdb.moc"
