#include "app/dimensione.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace app {

namespace {

QString fileDimensione()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/pemtarx/finestra"_s;
}

} // namespace

QSize dimensioneRicordata(const QString& impronta, QSize minima)
{
    QFile file(fileDimensione());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList righe = QString::fromUtf8(file.read(4096)).split(u'\n');
    if (righe.size() < 2 || righe[0] != impronta)
        return {};
    const QStringList lati = righe[1].split(u' ');
    bool okLarghezza = false;
    bool okAltezza = false;
    const QSize dimensione(lati.value(0).toInt(&okLarghezza), lati.value(1).toInt(&okAltezza));
    const bool credibile = okLarghezza && okAltezza && lati.size() == 2 && dimensione.expandedTo(minima) == dimensione &&
                           dimensione.boundedTo(minima * 4) == dimensione;
    return credibile ? dimensione : QSize();
}

void ricordaDimensione(const QString& impronta, QSize dimensione)
{
    const QString percorso = fileDimensione();
    QDir().mkpath(QFileInfo(percorso).path());
    QSaveFile file(percorso);
    if (file.open(QIODevice::WriteOnly)) {
        file.write((impronta + u'\n' + QString::number(dimensione.width()) + u' ' +
                    QString::number(dimensione.height()) + u'\n').toUtf8());
        file.commit();
    }
}

} // namespace app
