#include "banco.h"

#include <QMouseEvent>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

Archivio::Archivio() : store(u"prova-lookup"_s)
{
    const QString percorso = cartella_.filePath(u"dogana.mdb"_s);
    pronto = cartella_.isValid() && store::RegisterStore::crea(percorso).ok() && store.apriDatabase(percorso).ok() &&
             store.apriRegistri().ok() && store.apriTestata().ok();
}

Archivio::~Archivio() = default;

bool Archivio::scrivi(const Register& r)
{
    const auto esito = store.scrivi(r, RegisterHeading{r.SspCodice, {}, {}});
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

Register registro(const QString& codice, const QString& descrizione, const QString& tipo)
{
    Register r{codice};
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

QPoint Finestra::inFinestra(QWidget* w, QPoint punto) const
{
    return w->mapTo(this, punto.isNull() ? w->rect().center() : punto);
}

void Finestra::clic(QWidget* w, QPoint punto)
{
    QTest::mouseClick(windowHandle(), Qt::LeftButton, {}, inFinestra(w, punto));
}

void Finestra::premi(QWidget* w, QPoint punto)
{
    QTest::mousePress(windowHandle(), Qt::LeftButton, {}, inFinestra(w, punto));
}

void Finestra::doppioClic(QWidget* w, QPoint punto)
{
    QTest::mouseDClick(windowHandle(), Qt::LeftButton, {}, inFinestra(w, punto));
}

bool Finestra::eventFilter(QObject* oggetto, QEvent* evento)
{
    if (evento->type() == QEvent::MouseButtonPress && oggetto == windowHandle() && premuto) {
        const auto* m = static_cast<QMouseEvent*>(evento);
        premuto(childAt(mapFromGlobal(m->globalPosition().toPoint())));
    }
    return QWidget::eventFilter(oggetto, evento);
}
