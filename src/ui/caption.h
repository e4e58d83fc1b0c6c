// The caption buffer: the title of every message box and of the progress
// dialog. The driver fills it from the payload's caption block (always
// NUL-terminated within the buffer); the dialog module only reads it.
#pragma once
#include <cstdint>

const uint32_t CAPTION_SIZE = 1024;

extern char caption_buffer[CAPTION_SIZE];
