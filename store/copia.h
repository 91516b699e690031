#pragma once

#include "store/esito.h"

namespace store {

class ArchivioRegistri;

struct Copiati {
    int registri = 0;
    int testate = 0;
    int storico = 0;
};

// Copies every row of both tables of `da` into `verso`, file or server either way, in one transaction
// of `verso`: all rows or none. Values pass as they are, Nulls included; a value the destination's
// column cannot hold exactly stops the copy. `verso` must hold no rows; its tables are made if missing. The
// history comes along, numbers kept, when the source has one.
Esito copia(ArchivioRegistri& da, ArchivioRegistri& verso, Copiati& copiati);

} // namespace store
