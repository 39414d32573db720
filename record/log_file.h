// What the log asks of the file system: the part that differs between systems
// (log_file_unix.cpp, log_file_windows.cpp). Failures are negative errno values, or
// LOG_NOT_A_FILE (record/log.h). No Qt here.
#pragma once

// Opens path to append to, creating it (mode 0666 less the umask), not inherited by programs the
// tool starts; read access too where the system grants it. Neither the open nor a later write
// waits for a reader (a FIFO, a terminal). A descriptor, or -errno; LOG_NOT_A_FILE for a socket
// or a FIFO that no one reads.
int file_open_append(const char *path);
void file_close(int fd);
// The file's size, and whether it is a regular file (else a pipe, a terminal, ...); 0 or -errno.
int file_size(int fd, long long *size, int *regular);
// Whether the open file is the null device, which takes every write and keeps nothing.
int file_discards(int fd);
// Whether path still leads to the open file: 0 when it leads to no file or to another one (the
// file was deleted, renamed or replaced), 1 also when that cannot be told.
int file_is_at(int fd, const char *path);
// Writes up to length bytes at the end; the bytes written, or -errno.
int file_write(int fd, const char *data, int length);
// The offset of the file's end, or -1 where it has none (a pipe).
long long file_end(int fd);
// Reads length bytes at offset into data; 0, or -1 when the file cannot be read there.
int file_read_at(int fd, long long offset, char *data, int length);
// Cuts the file to length bytes; 0 or -errno.
int file_truncate(int fd, long long length);
// Waits until what was written is on the disk; a pipe or terminal has nothing to keep. 0 or -errno.
int file_sync(int fd);
// Makes a new file's name durable, where the system needs that: syncs the folder that holds it.
void file_sync_folder(const char *path);
