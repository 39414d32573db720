// The language of every interpreted sentence and of the panels; set once at start-up.
#include "display/format.h"

int Fremdsprache = 0;
