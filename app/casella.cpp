#include "casella.h"

#include <QFocusEvent>

void Casella::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    if (presenza_.entra(e->reason()))
        Q_EMIT entrata();
}

void Casella::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (presenza_.esce(e->reason()))
        Q_EMIT uscita();
}

void Casella::mouseDoubleClickEvent(QMouseEvent* e)
{
    QLineEdit::mouseDoubleClickEvent(e);
    Q_EMIT doppioClic();
}
