#pragma once

#include "lookup/presenza.h"

#include <QLineEdit>

// A search box that reports the clerk entering and leaving it after its own focus handling,
// so a selection made on entry is not undone by the box itself.
class CampoRicerca final : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void entrata();
    void uscita();

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    Presenza presenza_;
};
