#include "casella.h"

#include <QFocusEvent>

bool cambioFinestra(Qt::FocusReason motivo)
{
    return motivo == Qt::ActiveWindowFocusReason || motivo == Qt::PopupFocusReason;
}

void Casella::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    if (!entrato_) {
        entrato_ = true;
        Q_EMIT entrata();
    }
}

void Casella::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (entrato_ && !cambioFinestra(e->reason())) {
        entrato_ = false;
        Q_EMIT uscita();
    }
}

void Casella::mouseDoubleClickEvent(QMouseEvent* e)
{
    QLineEdit::mouseDoubleClickEvent(e);
    Q_EMIT doppioClic();
}
