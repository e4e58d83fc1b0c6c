// Where the updater may load libraries from. It runs with administrator
// rights from wherever the player saved it, usually a downloads folder full of
// other files: a DLL planted there under a system library's name must never
// be loaded in its place.
#pragma once

// Restricts the process's library search to the system folder: the program's
// own folder and the current folder are no longer searched. Uses
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) where kernel32 has it
// (looked up at run time: older systems lack it and must still start) and
// SetDllDirectoryA("") in any case. Never fails the start; what the system
// refuses is left as it was.
void restrict_library_search();
