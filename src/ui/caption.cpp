#include "ui/caption.h"

char caption_buffer[CAPTION_SIZE] = {};
