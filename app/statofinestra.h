#pragma once

#include <QString>

// The window state that the edit page, the look-ups and the key handlers share.
struct StatoFinestra {
    bool saltaControllo = false;  // the next focus loss of DicKod runs no look-up
    bool listaAttiva = false;     // the search list is in use: Enter picks its row
    int campoCorrente = 1;        // 0 = DicKod, 1..22 = Txt(i): the box that has or last had the focus
    int paginaAttiva = 2;         // 2 = editing, 1 = a look-up is open
    bool comboAttivo = false;     // Combo1 has the focus
    bool formAttivata = false;    // activated, and no search-page button touched since
    QString testoSql;             // the statement the last look-up ran
};
