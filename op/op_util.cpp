// Checked allocation and file existence.
#include "op/op_util.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

void* xmalloc(size_t size)
{
    if (size == 0) return nullptr;
    void* p = malloc(size);
    if (p == nullptr) printf("Virtual memory exhausted at malloc\n");
    return p;
}

void* xcalloc(size_t number, size_t size)
{
    if (number == 0 || size == 0) return nullptr;
    void* p = calloc(number, size);
    if (p == nullptr) printf("Virtual memory exhausted at malloc\n");
    return p;
}

void* xrealloc(void* ptr, size_t size)
{
    if (size == 0) {
        free(ptr);
        return nullptr;
    }
    void* p = realloc(ptr, size);
    if (p == nullptr) printf("Virtual memory exhausted at realloc\n");
    return p;
}

int file_exist(char const* filename)
{
    struct stat buffer;
    return stat(filename, &buffer) == 0 ? 1 : 0;
}
