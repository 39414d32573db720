// The log's file system on Unix.
#include "record/log_file.h"

#include "record/log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int file_open_append(const char *path) {
    // non-blocking: what the path leads to is looked at once it is open, and a write to anything
    // but a file must fail rather than hold up an exchange
    const int flags = O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    // read access only to look at how an existing file ends
    int fd = open(path, O_RDWR | flags, 0666);
    if (fd < 0 && errno == EACCES) fd = open(path, O_WRONLY | flags, 0666);
    struct stat info {};
    if (fd < 0 && errno == ENXIO && stat(path, &info) == 0 && !S_ISREG(info.st_mode))
        return LOG_NOT_A_FILE;
    // cppcheck-suppress resourceLeak ; the open descriptor is the result, for the caller to close
    return fd < 0 ? -errno : fd;
}

void file_close(int fd) {
    close(fd);
}

int file_size(int fd, long long *size, int *regular) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return -errno;
    *size = info.st_size;
    *regular = S_ISREG(info.st_mode);
    return 0;
}

int file_discards(int fd) {
    struct stat info {
    }, null{};
    return fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && stat("/dev/null", &null) == 0 &&
           S_ISCHR(null.st_mode) && info.st_rdev == null.st_rdev;
}

int file_is_at(int fd, const char *path) {
    struct stat opened {
    }, named{};
    if (fstat(fd, &opened) != 0) return 1;
    if (stat(path, &named) != 0) return errno != ENOENT && errno != ENOTDIR;
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

int file_write(int fd, const char *data, int length) {
    for (;;) {
        const ssize_t written = write(fd, data, size_t(length));
        if (written >= 0) return int(written);
        if (errno != EINTR) return -errno;
    }
}

long long file_end(int fd) {
    return lseek(fd, 0, SEEK_END);
}

int file_read_at(int fd, long long offset, char *data, int length) {
    if (lseek(fd, off_t(offset), SEEK_SET) != off_t(offset)) return -1;
    for (int done = 0; done < length;) {
        const ssize_t got = read(fd, data + done, size_t(length - done));
        if (got <= 0) return -1;
        done += int(got);
    }
    return 0;
}

int file_truncate(int fd, long long length) {
    return ftruncate(fd, off_t(length)) == 0 ? 0 : -errno;
}

int file_sync(int fd) {
    if (fdatasync(fd) == 0 || errno == EINVAL) return 0;
    return -errno;
}

void file_sync_folder(const char *path) {
    char folder[4096];
    std::snprintf(folder, sizeof folder, "%s", path);
    char *slash = std::strrchr(folder, '/');
    if (!slash)
        std::snprintf(folder, sizeof folder, ".");
    else
        slash[slash == folder ? 1 : 0] = '\0';
    const int fd = open(folder, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    (void)fsync(fd);
    close(fd);
}
