// Loaded with LD_PRELOAD into a program under test: one file behaves as on a disk that is full beyond a given
// size, whatever the program asked for before. HYDROVA_FULL_FILE names the file (its last path component),
// HYDROVA_FULL_AT the size in bytes; a positioned write or an allocation of that file reaching beyond it fails
// with ENOSPC.
// The disk filled by another program between a program's room check and its writes, without a mount.
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>

namespace {

bool full(int fd, off_t offset, off_t length)
{
    const char* name = getenv("HYDROVA_FULL_FILE");
    const char* at = getenv("HYDROVA_FULL_AT");
    if (name == nullptr || at == nullptr || offset + length <= atoll(at)) return false;
    char link[64];
    char target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) return false;
    const std::string path(target, (size_t)n);
    const std::string wanted = std::string("/") + name;
    return path.size() >= wanted.size() && path.compare(path.size() - wanted.size(), wanted.size(), wanted) == 0;
}

template <typename F>
F next(const char* symbol)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, symbol));
}

}  // namespace

extern "C" {

ssize_t pwrite(int fd, const void* buffer, size_t n, off_t offset)
{
    if (full(fd, offset, (off_t)n)) {
        errno = ENOSPC;
        return -1;
    }
    static auto real = next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return real(fd, buffer, n, offset);
}

int posix_fallocate(int fd, off_t offset, off_t length)
{
    if (full(fd, offset, length)) return ENOSPC;
    static auto real = next<int (*)(int, off_t, off_t)>("posix_fallocate");
    return real(fd, offset, length);
}
}
