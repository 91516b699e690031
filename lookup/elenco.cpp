#include "elenco.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

// Every row has the first row's size: the view would measure the last one, and a list read
// page by page would read the whole range to reach it.
class MisuraPrimaRiga final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& opzione, const QModelIndex& indice) const override
    {
        return QStyledItemDelegate::sizeHint(opzione, indice.siblingAtRow(0));
    }
};

} // namespace

Elenco::Elenco(QWidget* genitore) : QListView(genitore)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new MisuraPrimaRiga(this));
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
