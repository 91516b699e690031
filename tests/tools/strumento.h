#pragma once

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

// pemtarx-db run as the office runs it, and company files read behind its back.
namespace strumento {

using namespace Qt::StringLiterals;

struct Uscita {
    int codice = -1;
    QString standard, errori;
};

inline Uscita pemtarxDb(const QStringList& argomenti)
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

inline QByteArray leggiByte(const QString& percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool scriviByte(const QString& percorso, const QByteArray& byte)
{
    QFile f(percorso);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(byte) == byte.size();
}

// Runs `fai` on a connection of the test's own to the company file, closed afterwards.
template <typename F> auto conFile(const QString& file, F fai)
{
    const QString nome = u"prova-file"_s;
    auto esito = [&] {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, nome);
        db.setDatabaseName(file);
        db.open();
        auto r = fai(db);
        db.close();
        return r;
    }();
    QSqlDatabase::removeDatabase(nome);
    return esito;
}

// Statements on the file; empty text when all succeeded.
inline QString eseguiFile(const QString& file, const QStringList& sql)
{
    return conFile(file, [&](QSqlDatabase db) -> QString {
        QSqlQuery q(db);
        for (const QString& s : sql)
            if (!q.exec(s))
                return q.lastError().text() + u": "_s + s;
        return QString();
    });
}

// Every row a query reads from the file, each row's values joined by '|', a Null as such.
inline QStringList righeFile(const QString& file, const QString& sql)
{
    return conFile(file, [&](QSqlDatabase db) -> QStringList {
        QSqlQuery q(db);
        if (!q.exec(sql))
            return QStringList{q.lastError().text()};
        QStringList tutte;
        while (q.next()) {
            QStringList campi;
            for (int i = 0; i < q.record().count(); ++i)
                campi << (q.isNull(i) ? u"<null>"_s : q.value(i).toString());
            tutte << campi.join(u'|');
        }
        return tutte;
    });
}

inline QString valoreFile(const QString& file, const QString& sql)
{
    const QStringList r = righeFile(file, sql);
    return r.isEmpty() ? QString() : r.front();
}

} // namespace strumento
