/* A pass-through FUSE file system that answers every file operation after a fixed delay, as a
 * NAS across an office network does: the mirror benchmark's high-latency destination.
 *
 *   slowfs <backing-folder> <mount-point> [-o delay_us=1000] [-f]
 *
 * Every request that names a file or folder (look-up, attributes, create, open, mkdir, rename,
 * unlink, chmod, utimens, release, readdir, ...) sleeps `delay_us` first; reads and writes of
 * file data pass at the backing disk's speed, since a share streams data in large pipelined
 * requests. Requests are served by libfuse's thread pool, so parallel requests overlap as they
 * do on a real share. Built as the target slowfs of bench/CMakeLists.txt.
 */
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

static struct options {
    const char *backing;
    int delay_us;
} options = { NULL, 1000 };

static const struct fuse_opt option_spec[] = {
    { "delay_us=%d", offsetof(struct options, delay_us), 1 },
    FUSE_OPT_END,
};

static int backing_fd = -1;

static void round_trip(void)
{
    struct timespec t = { options.delay_us / 1000000, (long)(options.delay_us % 1000000) * 1000 };
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

/* Paths below the backing folder, relative to its descriptor ("/" is "."). */
static const char *rel(const char *path)
{
    return path[1] ? path + 1 : ".";
}

static void *slow_init(struct fuse_conn_info *conn, struct fuse_config *cfg)
{
    (void)conn;
    cfg->use_ino = 1;
    cfg->entry_timeout = 1.0;
    cfg->attr_timeout = 1.0;
    cfg->negative_timeout = 0;
    return NULL;
}

static int slow_getattr(const char *path, struct stat *st, struct fuse_file_info *fi)
{
    round_trip();
    int r = fi ? fstat((int)fi->fh, st) : fstatat(backing_fd, rel(path), st, AT_SYMLINK_NOFOLLOW);
    return r == 0 ? 0 : -errno;
}

static int slow_readlink(const char *path, char *buf, size_t size)
{
    round_trip();
    ssize_t n = readlinkat(backing_fd, rel(path), buf, size - 1);
    if (n < 0)
        return -errno;
    buf[n] = '\0';
    return 0;
}

static int slow_readdir(const char *path, void *buf, fuse_fill_dir_t fill, off_t offset, struct fuse_file_info *fi,
                        enum fuse_readdir_flags flags)
{
    (void)offset;
    (void)fi;
    (void)flags;
    round_trip();
    int fd = openat(backing_fd, rel(path), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return -errno;
    DIR *dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return -errno;
    }
    struct dirent *d;
    while ((d = readdir(dir)) != NULL) {
        struct stat st;
        memset(&st, 0, sizeof st);
        st.st_ino = d->d_ino;
        st.st_mode = (mode_t)DTTOIF(d->d_type);
        if (fill(buf, d->d_name, &st, 0, 0))
            break;
    }
    closedir(dir);
    return 0;
}

static int slow_mkdir(const char *path, mode_t mode)
{
    round_trip();
    return mkdirat(backing_fd, rel(path), mode) == 0 ? 0 : -errno;
}

static int slow_unlink(const char *path)
{
    round_trip();
    return unlinkat(backing_fd, rel(path), 0) == 0 ? 0 : -errno;
}

static int slow_rmdir(const char *path)
{
    round_trip();
    return unlinkat(backing_fd, rel(path), AT_REMOVEDIR) == 0 ? 0 : -errno;
}

static int slow_symlink(const char *target, const char *path)
{
    round_trip();
    return symlinkat(target, backing_fd, rel(path)) == 0 ? 0 : -errno;
}

static int slow_rename(const char *from, const char *to, unsigned int flags)
{
    round_trip();
    return renameat2(backing_fd, rel(from), backing_fd, rel(to), flags) == 0 ? 0 : -errno;
}

static int slow_chmod(const char *path, mode_t mode, struct fuse_file_info *fi)
{
    round_trip();
    int r = fi ? fchmod((int)fi->fh, mode) : fchmodat(backing_fd, rel(path), mode, 0);
    return r == 0 ? 0 : -errno;
}

static int slow_chown(const char *path, uid_t uid, gid_t gid, struct fuse_file_info *fi)
{
    round_trip();
    int r = fi ? fchown((int)fi->fh, uid, gid) : fchownat(backing_fd, rel(path), uid, gid, AT_SYMLINK_NOFOLLOW);
    return r == 0 ? 0 : -errno;
}

static int slow_truncate(const char *path, off_t size, struct fuse_file_info *fi)
{
    round_trip();
    int r;
    if (fi) {
        r = ftruncate((int)fi->fh, size);
    } else {
        int fd = openat(backing_fd, rel(path), O_WRONLY);
        if (fd < 0)
            return -errno;
        r = ftruncate(fd, size);
        close(fd);
    }
    return r == 0 ? 0 : -errno;
}

static int slow_utimens(const char *path, const struct timespec tv[2], struct fuse_file_info *fi)
{
    round_trip();
    int r = fi ? futimens((int)fi->fh, tv) : utimensat(backing_fd, rel(path), tv, AT_SYMLINK_NOFOLLOW);
    return r == 0 ? 0 : -errno;
}

static int slow_create(const char *path, mode_t mode, struct fuse_file_info *fi)
{
    round_trip();
    int fd = openat(backing_fd, rel(path), fi->flags, mode);
    if (fd < 0)
        return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int slow_open(const char *path, struct fuse_file_info *fi)
{
    round_trip();
    int fd = openat(backing_fd, rel(path), fi->flags);
    if (fd < 0)
        return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int slow_read(const char *path, char *buf, size_t size, off_t offset, struct fuse_file_info *fi)
{
    (void)path;
    ssize_t n = pread((int)fi->fh, buf, size, offset);
    return n < 0 ? -errno : (int)n;
}

static int slow_write(const char *path, const char *buf, size_t size, off_t offset, struct fuse_file_info *fi)
{
    (void)path;
    ssize_t n = pwrite((int)fi->fh, buf, size, offset);
    return n < 0 ? -errno : (int)n;
}

static int slow_statfs(const char *path, struct statvfs *st)
{
    (void)path;
    round_trip();
    return fstatvfs(backing_fd, st) == 0 ? 0 : -errno;
}

static int slow_flush(const char *path, struct fuse_file_info *fi)
{
    (void)path;
    (void)fi;
    round_trip();
    return 0;
}

static int slow_release(const char *path, struct fuse_file_info *fi)
{
    (void)path;
    round_trip();
    close((int)fi->fh);
    return 0;
}

static int slow_fsync(const char *path, int datasync, struct fuse_file_info *fi)
{
    (void)path;
    round_trip();
    int r = datasync ? fdatasync((int)fi->fh) : fsync((int)fi->fh);
    return r == 0 ? 0 : -errno;
}

static const struct fuse_operations slow_operations = {
    .init = slow_init,
    .getattr = slow_getattr,
    .readlink = slow_readlink,
    .readdir = slow_readdir,
    .mkdir = slow_mkdir,
    .symlink = slow_symlink,
    .unlink = slow_unlink,
    .rmdir = slow_rmdir,
    .rename = slow_rename,
    .chmod = slow_chmod,
    .chown = slow_chown,
    .truncate = slow_truncate,
    .utimens = slow_utimens,
    .create = slow_create,
    .open = slow_open,
    .read = slow_read,
    .write = slow_write,
    .statfs = slow_statfs,
    .flush = slow_flush,
    .release = slow_release,
    .fsync = slow_fsync,
};

int main(int argc, char *argv[])
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s <backing-folder> <mount-point> [-o delay_us=N] [fuse options]\n", argv[0]);
        return 2;
    }
    options.backing = argv[1];
    backing_fd = open(options.backing, O_RDONLY | O_DIRECTORY);
    if (backing_fd < 0) {
        perror(options.backing);
        return 1;
    }
    /* The backing folder is ours; the rest is for libfuse. */
    argv[1] = argv[0];
    struct fuse_args args = FUSE_ARGS_INIT(argc - 1, argv + 1);
    if (fuse_opt_parse(&args, &options, option_spec, NULL) == -1)
        return 1;
    /* Root mounts it for root's own benchmark: permissions are the backing folder's. */
    fuse_opt_add_arg(&args, "-odefault_permissions");
    int status = fuse_main(args.argc, args.argv, &slow_operations, NULL);
    fuse_opt_free_args(&args);
    return status;
}
