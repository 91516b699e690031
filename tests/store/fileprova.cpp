#include "fileprova.h"

#include "store/registerstore.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace {

int contatore = 0;

} // namespace

FileProva::FileProva()
    : percorso_(cartella_.filePath(u"dogana.mdb"_s)), connessione_(u"prova-%1"_s.arg(++contatore))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connessione_);
    db.setDatabaseName(percorso_);
}

FileProva::~FileProva()
{
    QSqlDatabase::database(connessione_, false).close();
    QSqlDatabase::removeDatabase(connessione_);
}

bool FileProva::crea() const { return store::RegisterStore::crea(percorso_).ok(); }

bool FileProva::scriviByte(const QByteArray& byte) const
{
    QFile f(percorso_);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(byte) == byte.size();
}

QByteArray FileProva::byte() const
{
    QFile f(percorso_);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList FileProva::contenuto() const
{
    return QDir(cartella_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString FileProva::esegui(const QStringList& sql, const QVariantList& valori) const
{
    QSqlDatabase db = QSqlDatabase::database(connessione_);
    if (!db.isOpen())
        return db.lastError().text();
    for (const QString& testo : sql) {
        QSqlQuery q(db);
        if (!q.prepare(testo))
            return q.lastError().text() + u": "_s + testo;
        for (qsizetype i = 0; i < valori.size() && i < q.boundValues().size(); ++i)
            q.bindValue(static_cast<int>(i), valori.at(i));
        if (!q.exec())
            return q.lastError().text() + u": "_s + testo;
    }
    db.close();
    return {};
}

QList<QVariantList> FileProva::righe(const QString& sql, const QVariantList& valori) const
{
    QList<QVariantList> tutte;
    {
        QSqlDatabase db = QSqlDatabase::database(connessione_);
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(sql);
        for (qsizetype i = 0; i < valori.size(); ++i)
            q.bindValue(static_cast<int>(i), valori.at(i));
        if (q.exec()) {
            while (q.next()) {
                QVariantList riga;
                for (int i = 0; i < q.record().count(); ++i)
                    riga << q.value(i);
                tutte << riga;
            }
        } else {
            tutte << QVariantList{QString(u"ERRORE: "_s + q.lastError().text())};
        }
    }
    // Closed after every read, so the test never holds a lock the store would wait for.
    QSqlDatabase::database(connessione_, false).close();
    return tutte;
}

QVariant FileProva::valore(const QString& sql, const QVariantList& valori) const
{
    const QList<QVariantList> r = righe(sql, valori);
    return r.isEmpty() || r.front().isEmpty() ? QVariant() : r.front().front();
}
