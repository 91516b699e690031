#include "camporicerca.h"

#include <QFocusEvent>

void CampoRicerca::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    if (presenza_.entra(e->reason()))
        Q_EMIT entrata();
}

void CampoRicerca::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (presenza_.esce(e->reason()))
        Q_EMIT uscita();
}
