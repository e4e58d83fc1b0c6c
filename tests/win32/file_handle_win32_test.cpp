// The FileHandle cases of the native suite, run over the Win32 layer under
// Wine: one set of expectations for both implementations of the seam.
#include "win32/wine_root.h"

#define READ_ONLY_STOPS_CREATE() (!wine_runs_as_root())
#include "unit/file_handle_test.cpp"
