#pragma once
// The stress tests run short in every test run and long in the soak, which
// sets PELCATO_SOAK=full; one reading of that variable for all of them.

// Whether this run is the soak's.
bool FullSoakRequested();
