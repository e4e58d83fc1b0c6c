// The run log's file: RUN_LOG_NAME in the user's temporary folder
// (GetTempPathA), rotated once to RUN_LOG_NAME ".old". The wording of the
// lines, the rotation and which file may be written are decided in
// run_log/run_log.h; this is only the Win32 calls.
#pragma once

// Appends the whole `line` at the end of the log, rotating it first when the
// line would take it past its cap; when the rotated copy cannot be replaced,
// the log is started over in place. The log is opened as the name itself and
// left unwritten when that is a link, a junction, a folder or a file with a
// second name. Nothing is reported: a line that cannot be written is dropped,
// and the thread's last error is as the caller left it.
void run_log_append(const char* line);
