#include "ambiente.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

Archivio::Archivio(const QString& nome) : store(nome)
{
    const QString file = cartella.filePath(u"dogana.mdb"_s);
    pronto = store::ArchivioRegistri::crea(file).ok() && store.apriDatabase(file).ok() && store.apriRegistri().ok() &&
             store.apriTestata().ok();
}

bool Archivio::esegui(const QString& sql, const QVariantList& valori)
{
    QSqlQuery q(store.database());
    q.prepare(sql);
    for (int i = 0; i < valori.size(); ++i)
        q.bindValue(i, valori.at(i));
    if (q.exec())
        return true;
    qWarning("%s: %s", qPrintable(q.lastError().text()), qPrintable(sql));
    return false;
}
