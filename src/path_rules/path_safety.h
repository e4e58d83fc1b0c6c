// Checks on the relative paths the payload asks the transaction to write and
// the installed hash list names, so that a damaged or hostile payload or list
// cannot reach outside the installation folder. Separators are "\" and "/";
// double-byte characters of the ANSI code page are stepped over whole, so a
// trail byte 0x5C is never a separator.
#pragma once
#include <cstdint>

// What is wrong with a relative path, worst first. path_problem gives the
// first three; target_rules.h adds the rest for the files an update writes.
enum PathProblem {
    PATH_OK,
    PATH_LEAVES_FOLDER,   // path_escapes_folder
    PATH_REFUSED_NAME,    // a character Windows refuses in a name, or a device name
    PATH_TOO_LONG,        // with ".prev" it does not fit a path
    PATH_NAMES_FOLDER,    // no file name: empty, a last "." or separator, a name of dots and spaces
    PATH_LIST_FILE,       // KXQ.hvl or uninst.lst under any spelling, or a list's ".new" sibling
    PATH_SHARES_FILE,     // the target, temporary file or kept copy of another entry
};

// True when `path` would leave the installation folder: it starts with a
// separator (absolute or UNC), holds a ":" anywhere (a drive, or an NTFS
// stream), or has a component that resolves to the parent folder ("..", and
// ".. " or "..." which Windows trims to it).
bool path_escapes_folder(const char* path);
// PATH_LEAVES_FOLDER, else PATH_REFUSED_NAME when a component holds < > " | ?
// * or a control character or is a device name (NUL, COM1, "nul.txt", ...),
// else PATH_OK. Nothing of such a path may be opened: a device name opens the
// device, not a file in the folder.
PathProblem path_problem(const char* path);
// One line of English for the report of a problem ("" for PATH_OK), and a
// short stable code for machine-readable output ("leaves-folder", ...).
const char* path_problem_text(PathProblem problem);
const char* path_problem_code(PathProblem problem);
// out := `path` with every "/" separator replaced by "\", so that two spellings
// of one target compare equal. False (out = "") when it does not fit `cap`.
bool path_with_backslashes(char* out, uint32_t cap, const char* path);
