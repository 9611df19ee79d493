// Small helpers of the mesh framework: checked allocation and file existence.
#pragma once

#include <stddef.h>

/// Prints "Virtual memory exhausted at malloc" on failure; 0 bytes returns null.
void* xmalloc(size_t size);
void* xcalloc(size_t number, size_t size);
/// Prints "Virtual memory exhausted at realloc" on failure; size 0 frees and returns null.
void* xrealloc(void* ptr, size_t size);
/// 1 when the operating system's stat call can examine `filename`, else 0.
int file_exist(char const* filename);
