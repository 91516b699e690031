#include "tools/percorsi.h"

#include "app/archivio.h"
#include "tools/testi.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace pemtarxdb {

using namespace Qt::StringLiterals;

namespace {

void errore(const QString& testo)
{
    QTextStream(stderr) << testo << u'\n';
}

} // namespace

std::optional<QString> archivioDalleImpostazioni(const QString& ini)
{
    if (!QFileInfo(ini).isFile()) {
        errore(testi::fileInesistente.arg(ini));
        return std::nullopt;
    }
    QStringList ambigui;
    const QString trovato = app::posizioneArchivio(ini, &ambigui);
    if (!ambigui.isEmpty()) {
        errore(testi::nomiAmbigui.arg(ambigui.join(u", "_s)));
        return std::nullopt;
    }
    return trovato;
}

void perIlGruppo(const QString& file)
{
    const QByteArray nome = QFile::encodeName(file);
    const QByteArray cartella = QFile::encodeName(QFileInfo(file).absolutePath());
    struct stat c {};
    struct stat f {};
    if (::stat(cartella.constData(), &c) != 0 || !(c.st_mode & S_IWGRP))
        return;
    // Allowed only to a member of that group; another group is never given the file.
    if (::chown(nome.constData(), uid_t(-1), c.st_gid) != 0 && errno != EPERM)
        return;
    if (::stat(nome.constData(), &f) == 0 && f.st_gid == c.st_gid)
        ::chmod(nome.constData(), (f.st_mode & 07777) | S_IRGRP | S_IWGRP);
}

bool cartellaScrivibile(const QString& file)
{
    const QFileInfo cartella(QFileInfo(file).absolutePath());
    if (!cartella.isDir())
        errore(testi::cartellaInesistente.arg(cartella.filePath()));
    else if (!cartella.isWritable())
        errore(testi::cartellaNonScrivibile.arg(cartella.filePath()));
    return cartella.isDir() && cartella.isWritable();
}

} // namespace pemtarxdb
