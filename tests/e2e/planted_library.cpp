// Stands in for a DLL that someone left in the updater's download folder.
extern "C" __declspec(dllexport) int planted_library_marker()
{
    return 1;
}
