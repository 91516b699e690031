#pragma once

#include "store/esito.h"

namespace store {
class ArchivioRegistri;
}

// Writes the demo registers of an office into an open store, each through the store's own save.
store::Esito riempiEsempio(store::ArchivioRegistri& archivio);
