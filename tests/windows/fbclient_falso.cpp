// A stand-in for fbclient.dll. With AUTOREP_CON_MAESTRO it has the function
// the program looks up, which hands out a mark inside this DLL (tests ask
// Windows which module holds it); without it, it is a client older than 3.0.
#ifdef AUTOREP_CON_MAESTRO
extern "C" __declspec(dllexport) void* fb_get_master_interface() {
    static int marca;
    return &marca;
}
#else
extern "C" __declspec(dllexport) int isc_attach_database() { return 1; }
#endif
