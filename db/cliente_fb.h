#pragma once
// Internal to the database layer: the Firebird client library, loaded when
// the first database call needs it rather than linked, so that the program
// starts (and says what is missing) on a machine without it.
#include <firebird/Interface.h>

namespace autorep::bd::fb {

// Loads the client library and returns its master interface
// (fb_get_master_interface): on Windows fbclient.dll where Windows looks for
// DLLs, else in the folder of the default Firebird instance named by
// HKEY_LOCAL_MACHINE\SOFTWARE\Firebird Project\Firebird Server\Instances;
// on Linux libfbclient.so.2. Raises ErrorBaseDatos naming the library when it
// cannot be loaded or is older than Firebird 3.
Firebird::IMaster* cargarClienteFirebird();

}  // namespace autorep::bd::fb
