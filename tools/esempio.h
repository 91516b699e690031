#pragma once

#include "store/esito.h"

namespace store {
class RegisterStore;
}

// Writes the demo registers of an office into an open store, each through the store's own save.
store::Esito riempiEsempio(store::RegisterStore& archivio);
