// Text at patchtool's edges: the command line and the terminal speak UTF-8,
// the updater's files and paths code page 932.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The program's arguments in UTF-8. The native build takes argv as it is; the
// Win32 build reads the wide command line, since argv there is in the ANSI code
// page and would already have lost what it cannot hold. False on failure.
bool cli_arguments(int argc, char** argv, std::vector<std::string>* out);
// The Win32 build only: *out := the NUL-terminated UTF-16 `text` as UTF-8;
// false when it holds a lone surrogate, which no UTF-8 name could spell.
bool wide_to_utf8(const wchar_t* text, std::string* out);
// Sets up stdout and stderr to carry the native tool's bytes. On Windows:
// binary mode, so that a report written to a file or a pipe has the same
// bytes as on Linux (no "\r" added before each "\n"); and where a stream is
// a console, the console's output code page is UTF-8 until the program
// exits, so that Japanese names show as they are. Nothing elsewhere.
void cli_prepare_output();
// out := `utf8` in code page 932; false when the text is not valid UTF-8 or
// has a character code page 932 cannot hold (checked by converting back).
bool utf8_to_cp932(const std::string& utf8, std::string* out);
// Code page 932 bytes as UTF-8 for display; bytes without a mapping come out
// as the conversion's default characters.
std::string cp932_to_utf8(const std::string& bytes);
// `utf8` for a terminal: every control character (C0, DEL and the C1 range
// U+0080-U+009F) shown as an escape, "\x1b" or "\u009b", so that a crafted
// name cannot move the cursor, clear a line or hide a warning. Every name,
// path or caption patchtool prints as text goes through it.
std::string printable_utf8(const std::string& utf8);
// printable_utf8(cp932_to_utf8(cp932)): a name or path of the updater's files.
std::string printable(const std::string& cp932);
// A message of the engine or the builder (code page 932, where a file is
// named by its seam path) as UTF-8: each host path marker (host_root.h)
// becomes the host path as the user gave it, the rest is converted. Not yet
// escaped. Only for the tool's own messages: a name read from a file goes
// through printable, where a marker is just a control character.
std::string message_utf8(const std::string& cp932);
// *seam := the seam path of `given`, a host path from the command line
// (UTF-8 as typed), through which the platform layer reaches it as the system
// spells it. False, with "patchtool COMMAND: ..." on stderr, when the system
// could name no such path.
bool host_operand(const char* command, const std::string& given, std::string* seam);
// Lowercase hex digits of `n` raw bytes.
std::string hex_text(const void* bytes, size_t n);
