#!/usr/bin/python3
"""What the program shows, read through accessibility: atspi.py testo NOME | fuoco | estensione NOME | messaggio INIZIO."""
import sys

import pyatspi


def controlli(nodo):
    for i in range(nodo.childCount):
        figlio = nodo.getChildAtIndex(i)
        if figlio is None:
            continue
        yield figlio
        yield from controlli(figlio)


def programma():
    # The program registers with the accessibility bus a little after its window appears: the caller polls.
    return next(a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name.startswith("pemtarx"))


def visibili():
    for c in controlli(programma()):
        if c.getState().contains(pyatspi.STATE_SHOWING):
            yield c


def testo(c):
    try:
        t = c.queryText()
        return t.getText(0, t.characterCount)
    except NotImplementedError:
        return c.name


comando = sys.argv[1]
if comando == "messaggio":
    # The text of the message box shown, lines joined by "|"; INIZIO alone when the text begins with it.
    scatole = [c for c in visibili() if c.getRole() == pyatspi.ROLE_ALERT]
    testi = [c.name for s in scatole for c in controlli(s) if c.getRole() == pyatspi.ROLE_LABEL and c.name]
    testo = testi[0].replace("\n", "|") if testi else ""
    print(sys.argv[2] if testo.startswith(sys.argv[2]) else testo)
elif comando == "fuoco":
    print(next((c.name for c in visibili() if c.getState().contains(pyatspi.STATE_FOCUSED)), ""))
else:
    # A box and its caption share the name: the box is meant.
    c = min((c for c in visibili() if c.name == sys.argv[2]), key=lambda c: c.getRole() == pyatspi.ROLE_LABEL, default=None)
    if c is None:
        sys.exit("controllo non visibile: " + sys.argv[2])
    if comando == "testo":
        print(testo(c))
    else:
        e = c.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        print(e.x, e.y, e.width, e.height)
