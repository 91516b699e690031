#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <array>

// The register being shown or edited, one row of TabellaSerieSemplificata.
struct Registro {
    QString SspCodice;
    QString SspDescrizione = QStringLiteral(" ");
    QString SspCarScar = QStringLiteral(" ");
    qint32 SspUltimoCarico = 0;
    QString SspGruppoCarico = QStringLiteral(" ");
    QString SspGruppoSCarico = QStringLiteral(" ");
    bool SspStampaperSerie = true;
    QString SspCodiceDischetto = QStringLiteral(" ");
    QString SspMeccanogCin = QStringLiteral(" ");
    qint16 SspMeccanogNum = 0;
    QString SspCodAutorizzazione = QStringLiteral(" ");
    QString SspNTelefonoDaChiamare = QStringLiteral(" ");
    QString SspRiqA = QStringLiteral(" ");
    QString SspTipoProtocollo = QStringLiteral("G");
    QString SspACT = QStringLiteral("A");
    // The stored SspMeccanogNum when a 16-bit whole number cannot hold it, written back as it was.
    QVariant meccanogNumIntatto = QVariant();

    // Every member but the code back to the values of a new register.
    void azzera() { *this = Registro{SspCodice}; }

    bool operator==(const Registro&) const = default;
};

// The one-character members take the first character assigned, or a blank for an empty text.
QString unCarattere(const QString& testo);

// The heading lines of a register, one row of TestataRegistriPS.
struct TestataRegistro {
    QString TpsCodice;
    std::array<QString, 5> TpsRiga;  // printed on the register
    std::array<QString, 5> TpsRigP;  // printed on the advance notice

    bool operator==(const TestataRegistro&) const = default;
};
