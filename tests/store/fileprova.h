#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>

// A company file in a fresh temporary folder, read and written behind the store's back.
class FileProva final {
public:
    FileProva();
    ~FileProva();

    const QString& percorso() const { return percorso_; }
    QString cartella() const { return cartella_.path(); }
    // A new file with both tables, as the tool makes it.
    bool crea() const;
    bool scriviByte(const QByteArray& byte) const;
    QByteArray byte() const;
    // Names of everything in the folder, so a stray journal or a created file shows up.
    QStringList contenuto() const;

    // Statements through a connection of the test's own; empty text when all succeeded.
    QString esegui(const QStringList& sql, const QVariantList& valori = {}) const;
    QVariant valore(const QString& sql, const QVariantList& valori = {}) const;
    QList<QVariantList> righe(const QString& sql, const QVariantList& valori = {}) const;

private:
    QTemporaryDir cartella_;
    QString percorso_;
    QString connessione_;
};
