// Where bitmaps come from: files found by the platform's own search, image
// blocks in resizable memory, and the pictures built into the program. The
// bytes are handed to the reader (render/packed_dib.h) unparsed.
#pragma once
#include <cstdint>

enum : int32_t { noBitmapFile = -1 };

// Opens name for reading; noBitmapFile if it cannot be opened.
int32_t openBitmapFile(const char* name);
// Reads up to count bytes; returns how many were read (0 on error).
uint32_t readBitmapFile(int32_t file, void* target, uint32_t count);
// Moves to an absolute position; false if the platform refuses.
bool seekBitmapFile(int32_t file, uint32_t position);
// The current position, or -1.
int64_t tellBitmapFile(int32_t file);
void closeBitmapFile(int32_t file);

// Image blocks. allocDibMemory returns a block (not cleared) that stays at its
// address until resized or freed; resizeDibMemory may move it, and on failure
// releases the old block and returns null.
uint8_t* allocDibMemory(uint32_t size);
uint8_t* resizeDibMemory(uint8_t* block, uint32_t size);
void freeDibMemory(uint8_t* block);

// The image's bitmap resource of that name, unchanged, and its size; null if
// there is none.
const uint8_t* findBitmapResource(const char* name, uint32_t* size);
