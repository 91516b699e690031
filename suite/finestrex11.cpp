#include "finestrex11.h"

#include <QList>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

namespace suite::x11 {

namespace {

struct Libera {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Risposta = std::unique_ptr<T, Libera>;

struct Atomi {
    xcb_atom_t clientList = XCB_ATOM_NONE;
    xcb_atom_t wmPid = XCB_ATOM_NONE;
    xcb_atom_t finestraAttiva = XCB_ATOM_NONE;
    xcb_atom_t supportati = XCB_ATOM_NONE;
    xcb_atom_t controlloGestore = XCB_ATOM_NONE;
};

struct Candidata {
    xcb_window_t finestra;
    bool transitoria;
};

// Top-level clients sit at most this deep: root, frame, its wrapper, the client.
constexpr int profonditaMassima = 4;

Atomi atomi(xcb_connection_t* c)
{
    const char* nomi[] = {"_NET_CLIENT_LIST", "_NET_WM_PID", "_NET_ACTIVE_WINDOW", "_NET_SUPPORTED",
                          "_NET_SUPPORTING_WM_CHECK"};
    xcb_intern_atom_cookie_t richieste[std::size(nomi)];
    for (std::size_t i = 0; i < std::size(nomi); ++i)
        richieste[i] = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(nomi[i])), nomi[i]);
    xcb_atom_t valori[std::size(nomi)];
    for (std::size_t i = 0; i < std::size(nomi); ++i) {
        xcb_generic_error_t* errore = nullptr;
        const Risposta<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(c, richieste[i], &errore));
        std::free(errore);
        valori[i] = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    return {valori[0], valori[1], valori[2], valori[3], valori[4]};
}

// The 32-bit values of a window's property; empty when the window or the property is missing.
QList<uint32_t> valori(xcb_connection_t* c, xcb_window_t finestra, xcb_atom_t proprieta, xcb_atom_t tipo)
{
    xcb_generic_error_t* errore = nullptr;
    const Risposta<xcb_get_property_reply_t> r(
        xcb_get_property_reply(c, xcb_get_property(c, 0, finestra, proprieta, tipo, 0, 4096), &errore));
    std::free(errore);
    if (!r || r->format != 32 || r->type != tipo)
        return {};
    const auto* dati = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
    return QList<uint32_t>(dati, dati + xcb_get_property_value_length(r.get()) / 4);
}

bool gestoreAttivo(xcb_connection_t* c, xcb_window_t radice, const Atomi& a)
{
    const QList<uint32_t> verifica = valori(c, radice, a.controlloGestore, XCB_ATOM_WINDOW);
    if (verifica.isEmpty())
        return false;
    // A window manager that has ended leaves the id of its vanished check window on the root.
    const QList<uint32_t> propria = valori(c, verifica.first(), a.controlloGestore, XCB_ATOM_WINDOW);
    if (propria.isEmpty() || propria.first() != verifica.first())
        return false;
    return valori(c, radice, a.supportati, XCB_ATOM_ATOM).contains(a.finestraAttiva);
}

bool appartiene(xcb_connection_t* c, xcb_window_t finestra, const QList<qint64>& processi, const Atomi& a,
                bool soloVisibili, QList<Candidata>& trovate)
{
    const QList<uint32_t> proprietario = valori(c, finestra, a.wmPid, XCB_ATOM_CARDINAL);
    if (proprietario.isEmpty() || !processi.contains(proprietario.first()))
        return false;
    xcb_generic_error_t* errore = nullptr;
    const Risposta<xcb_get_window_attributes_reply_t> attributi(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, finestra), &errore));
    std::free(errore);
    // Menus and tooltips are no main window; a hidden window cannot take the focus.
    if (!attributi || attributi->override_redirect)
        return false;
    if (soloVisibili && attributi->map_state != XCB_MAP_STATE_VIEWABLE)
        return false;
    trovate.append({finestra, !valori(c, finestra, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW).isEmpty()});
    return true;
}

void cercaNellaLista(xcb_connection_t* c, xcb_window_t radice, const QList<qint64>& processi, const Atomi& a,
                     bool soloVisibili, QList<Candidata>& trovate)
{
    for (const uint32_t finestra : valori(c, radice, a.clientList, XCB_ATOM_WINDOW))
        appartiene(c, finestra, processi, a, soloVisibili, trovate);
}

void cercaNellAlbero(xcb_connection_t* c, xcb_window_t padre, const QList<qint64>& processi, const Atomi& a,
                     int profondita, QList<Candidata>& trovate)
{
    if (profondita >= profonditaMassima)
        return;
    xcb_generic_error_t* errore = nullptr;
    const Risposta<xcb_query_tree_reply_t> albero(xcb_query_tree_reply(c, xcb_query_tree(c, padre), &errore));
    std::free(errore);
    if (!albero)
        return;
    const xcb_window_t* figli = xcb_query_tree_children(albero.get());
    const int quanti = xcb_query_tree_children_length(albero.get());
    for (int i = 0; i < quanti; ++i) {
        if (!appartiene(c, figli[i], processi, a, true, trovate))
            cercaNellAlbero(c, figli[i], processi, a, profondita + 1, trovate);
    }
}

bool eseguita(xcb_connection_t* c, xcb_void_cookie_t richiesta)
{
    xcb_generic_error_t* errore = xcb_request_check(c, richiesta);
    const bool riuscita = errore == nullptr;
    std::free(errore);
    return riuscita;
}

bool chiediAlGestore(xcb_connection_t* c, xcb_window_t radice, xcb_window_t finestra, const Atomi& a)
{
    xcb_client_message_event_t messaggio{};
    messaggio.response_type = XCB_CLIENT_MESSAGE;
    messaggio.format = 32;
    messaggio.window = finestra;
    messaggio.type = a.finestraAttiva;
    // Source 2, a pager: the window manager obeys it whatever its focus-stealing rules.
    messaggio.data.data32[0] = 2;
    messaggio.data.data32[1] = XCB_CURRENT_TIME;
    messaggio.data.data32[2] = XCB_WINDOW_NONE;
    const uint32_t destinatari = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    return eseguita(c, xcb_send_event_checked(c, 0, radice, destinatari, reinterpret_cast<const char*>(&messaggio)));
}

bool alzaEDaiFuoco(xcb_connection_t* c, xcb_window_t finestra)
{
    const uint32_t sopra[] = {XCB_STACK_MODE_ABOVE};
    const xcb_void_cookie_t alza = xcb_configure_window_checked(c, finestra, XCB_CONFIG_WINDOW_STACK_MODE, sopra);
    const xcb_void_cookie_t fuoco =
        xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_POINTER_ROOT, finestra, XCB_CURRENT_TIME);
    const bool alzata = eseguita(c, alza);
    const bool focalizzata = eseguita(c, fuoco);
    return alzata && focalizzata;
}

} // namespace

bool attivaFinestra(xcb_connection_t* connessione, const QList<qint64>& processi)
{
    if (!connessione || xcb_connection_has_error(connessione) || processi.isEmpty())
        return false;
    const Atomi a = atomi(connessione);
    for (xcb_screen_iterator_t schermo = xcb_setup_roots_iterator(xcb_get_setup(connessione)); schermo.rem;
         xcb_screen_next(&schermo)) {
        const xcb_window_t radice = schermo.data->root;
        const bool gestore = gestoreAttivo(connessione, radice, a);
        QList<Candidata> trovate;
        // Without a window manager a client list left on the root is stale: only shown windows count.
        cercaNellaLista(connessione, radice, processi, a, !gestore, trovate);
        if (trovate.isEmpty())
            cercaNellAlbero(connessione, radice, processi, a, 0, trovate);
        if (trovate.isEmpty())
            continue;
        // The main window rather than one of its dialogs.
        const auto principale =
            std::find_if(trovate.cbegin(), trovate.cend(), [](const Candidata& f) { return !f.transitoria; });
        const xcb_window_t finestra = (principale != trovate.cend() ? *principale : trovate.first()).finestra;
        return gestore ? chiediAlGestore(connessione, radice, finestra, a) : alzaEDaiFuoco(connessione, finestra);
    }
    return false;
}

} // namespace suite::x11
