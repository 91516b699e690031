#include "elenco.h"

#include <QFocusEvent>
#include <QMouseEvent>

Elenco::Elenco(QWidget* genitore) : QListView(genitore)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

void Elenco::focusInEvent(QFocusEvent* e)
{
    QListView::focusInEvent(e);
    if (presenza_.entra(e->reason()))
        Q_EMIT entrata();
}

void Elenco::focusOutEvent(QFocusEvent* e)
{
    QListView::focusOutEvent(e);
    if (presenza_.esce(e->reason()))
        Q_EMIT uscita();
}

void Elenco::mouseDoubleClickEvent(QMouseEvent* e)
{
    QListView::mouseDoubleClickEvent(e);
    if (e->button() == Qt::LeftButton)
        Q_EMIT doppioClic();
}
