#include "ambiente.h"

#include "app/casella.h"
#include "form/startup.h"
#include "store/archivioregistri.h"

#include <QApplication>

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

Ambiente::Ambiente()
{
    programma = radice.filePath(u"prog"_s);
    dati = radice.filePath(u"dati"_s) + u'/';
    QDir().mkpath(programma);
    qputenv("XDG_CONFIG_HOME", radice.filePath(u"config"_s).toUtf8());
    scriviIni(u"[BASE]\r\nDITTA=%1\r\n[PATH]\r\nDIRINI=%2\r\n"_s.arg(ditta, dati));
}

QString Ambiente::database() const { return dati + ditta + u"/dogana.mdb"_s; }

void Ambiente::scriviIni(const QString& testo) const
{
    QFile f(programma + u"/Quendrix.ini"_s);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(testo.toLatin1());
}

void Ambiente::creaDitta(const QStringList& sql) const
{
    QDir().mkpath(dati + ditta);
    QVERIFY2(store::ArchivioRegistri::crea(database()).ok(), qPrintable(database()));
    esegui(sql);
}

void Ambiente::esegui(const QStringList& sql) const
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"prova"_s);
        db.setDatabaseName(database());
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& s : sql)
            QVERIFY2(q.exec(s), qPrintable(q.lastError().text() + u": "_s + s));
    }
    QSqlDatabase::removeDatabase(u"prova"_s);
}

QVariant Ambiente::valore(const QString& sql) const
{
    QVariant v;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"prova"_s);
        db.setDatabaseName(database());
        db.open();
        QSqlQuery q(db);
        if (q.exec(sql) && q.next())
            v = q.value(0);
    }
    QSqlDatabase::removeDatabase(u"prova"_s);
    return v;
}

Banco::Banco(const QStringList& sql)
{
    a.creaDitta(sql);
    w = std::make_unique<Startup>(d);
    if (!w->Form_Load(a.programma))
        return;
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get()))
        return;
    w->DicKod->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget*>(w->DicKod), 5000);
    pronto = true;
}

Banco::~Banco() = default;

void Banco::digitaCodice(const QString& codice)
{
    QTest::keyClicks(w->DicKod, codice);
    QTest::keyClick(w->DicKod, Qt::Key_Return);
    QApplication::processEvents();
}

Archivio::Archivio() : store(u"prova-lookup"_s)
{
    a.creaDitta();
    pronto = store.apriDatabase(a.database()).ok() && store.apriRegistri().ok() && store.apriTestata().ok();
}

bool Archivio::scrivi(const Registro& r)
{
    const auto esito = store.scrivi(r, TestataRegistro{r.SspCodice, {}, {}});
    if (!esito.esito.ok())
        qWarning("%s", qPrintable(esito.esito.descrizione));
    return esito.esito.ok();
}

bool Archivio::esegui(const QString& sql, const QVariantList& valori)
{
    QSqlQuery q(store.database());
    if (!q.prepare(sql)) {
        qWarning("%s: %s", qPrintable(q.lastError().text()), qPrintable(sql));
        return false;
    }
    for (int i = 0; i < valori.size(); ++i)
        q.bindValue(i, valori.at(i));
    if (!q.exec()) {
        qWarning("%s: %s", qPrintable(q.lastError().text()), qPrintable(sql));
        return false;
    }
    return true;
}

bool Archivio::riempi(int n)
{
    QSqlDatabase db = store.database();
    if (!db.transaction())
        return false;
    QSqlQuery q(db);
    q.prepare(u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspCarScar, SspUltimoCarico) "
              "VALUES (?, ?, 'C', ?)"_s);
    for (int i = 1; i <= n; ++i) {
        q.bindValue(0, u"R%1"_s.arg(i, 5, 10, QChar(u'0')));
        q.bindValue(1, u"DESCRIZIONE %1"_s.arg(n - i, 5, 10, QChar(u'0')));
        q.bindValue(2, i);
        if (!q.exec()) {
            db.rollback();
            return false;
        }
    }
    return db.commit();
}

Registro registro(const QString& codice, const QString& descrizione, const QString& tipo)
{
    Registro r{codice};
    r.SspDescrizione = descrizione;
    r.SspCarScar = tipo;
    return r;
}

bool Finestra::mostra()
{
    resize(900, 500);
    show();
    windowHandle()->installEventFilter(this);
    activateWindow();
    return QTest::qWaitForWindowActive(this);
}

void Finestra::clic(QWidget* w)
{
    QTest::mouseClick(windowHandle(), Qt::LeftButton, {}, w->mapTo(this, w->rect().center()));
}

bool Finestra::eventFilter(QObject* oggetto, QEvent* evento)
{
    if (evento->type() == QEvent::MouseButtonPress && oggetto == windowHandle() && premuto) {
        const auto* m = static_cast<QMouseEvent*>(evento);
        premuto(childAt(mapFromGlobal(m->globalPosition().toPoint())));
    }
    return QWidget::eventFilter(oggetto, evento);
}
