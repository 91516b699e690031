#include "casella.h"

#include <QFocusEvent>

#include <utility>

void Casella::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    entrataColMouse_ = e->reason() == Qt::MouseFocusReason;
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

void Casella::mousePressEvent(QMouseEvent* e)
{
    QLineEdit::mousePressEvent(e);
    // A cleared field holds a blank: clicked into, it stays selected so typing replaces it.
    if (std::exchange(entrataColMouse_, false) && text().trimmed().isEmpty())
        selectAll();
}
