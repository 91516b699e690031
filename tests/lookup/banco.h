#pragma once

#include "store/register.h"
#include "store/registerstore.h"

#include <QTemporaryDir>
#include <QVariantList>
#include <QWidget>
#include <functional>

// A company file in a fresh temporary folder, opened through a real store.
class Archivio final {
public:
    Archivio();
    ~Archivio();

    store::RegisterStore store;
    bool pronto = false;

    // One register written by the store's own two-row transaction.
    bool scrivi(const Register& r);
    // A statement on the store's connection behind its back, for values the program never writes.
    bool esegui(const QString& sql, const QVariantList& valori = {});
    // `n` registers in one transaction: codes R00001 up, descriptions counting down.
    bool riempi(int n);

private:
    QTemporaryDir cartella_;
};

// A register of `tipo` with the given code and description and the defaults of a new one.
Register registro(const QString& codice, const QString& descrizione, const QString& tipo = QStringLiteral("C"));

// A plain top-level window that hands each mouse press to `premuto` before Qt moves the focus,
// as the register window does.
class Finestra final : public QWidget {
public:
    std::function<void(QWidget*)> premuto;

    // Shows the window and waits until it is active, so focus changes run their handlers at once.
    bool mostra();
    // A press and a release at `punto` of `w`, through the window as a real click arrives.
    void clic(QWidget* w, QPoint punto = {});
    void premi(QWidget* w, QPoint punto = {});
    void doppioClic(QWidget* w, QPoint punto = {});

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;

private:
    QPoint inFinestra(QWidget* w, QPoint punto) const;
};
