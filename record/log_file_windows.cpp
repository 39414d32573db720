// The log's file system on Windows, whose C library keeps the descriptors under other names.
#include "record/log_file.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

int file_open_append(const char *path) {
    int fd = -1;
    const int flags = _O_RDWR | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT;
    errno_t error = _sopen_s(&fd, path, flags, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    if (error == EACCES)
        error =
            _sopen_s(&fd, path, (flags & ~_O_RDWR) | _O_WRONLY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    return error != 0 ? -error : fd;
}

void file_close(int fd) {
    _close(fd);
}

int file_size(int fd, long long *size, int *regular) {
    struct _stat64 info {};
    if (_fstat64(fd, &info) != 0) return -errno;
    *size = info.st_size;
    *regular = (info.st_mode & _S_IFMT) == _S_IFREG;
    return 0;
}

// The null device cannot be told from a console by its descriptor: both are refused.
int file_discards(int) {
    return 0;
}

// An open log cannot be deleted or renamed here: it is opened without FILE_SHARE_DELETE.
int file_is_at(int, const char *) {
    return 1;
}

int file_write(int fd, const char *data, int length) {
    const int written = _write(fd, data, unsigned(length));
    return written >= 0 ? written : -errno;
}

long long file_end(int fd) {
    return _lseeki64(fd, 0, SEEK_END);
}

int file_read_at(int fd, long long offset, char *data, int length) {
    if (_lseeki64(fd, offset, SEEK_SET) != offset) return -1;
    for (int done = 0; done < length;) {
        const int got = _read(fd, data + done, unsigned(length - done));
        if (got <= 0) return -1;
        done += got;
    }
    return 0;
}

int file_truncate(int fd, long long length) {
    return -_chsize_s(fd, length);
}

int file_sync(int fd) {
    if (_commit(fd) == 0 || errno == EINVAL) return 0;
    return -errno;
}

// A new file's name is durable once the file is: nothing to do.
void file_sync_folder(const char *) {}
