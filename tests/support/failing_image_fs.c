/* failing_image_fs IMAGE MOUNTPOINT [START-END]...
 *
 * A FUSE file system for the tests: MOUNTPOINT/image is IMAGE, read-only,
 * except that a read touching any byte in [START, END) fails with EIO, as a
 * read of a failing card's bad sectors does. Files are opened with
 * direct_io, so that every read reaches this program as the reader asked
 * for it: through the page cache, readahead would fail a whole 128 KiB
 * window for one bad sector. Runs in the foreground until unmounted. */
#define FUSE_USE_VERSION 31
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kMaxRanges = 64 };

static int image_fd = -1;
static off_t image_size;
static struct {
  uint64_t start, end;
} bad[kMaxRanges];
static int bad_count;

static const char kImage[] = "/image";

static int Getattr(const char *path, struct stat *st, struct fuse_file_info *fi) {
  (void)fi;
  memset(st, 0, sizeof *st);
  if (strcmp(path, "/") == 0) {
    st->st_mode = S_IFDIR | 0555;
    st->st_nlink = 2;
    return 0;
  }
  if (strcmp(path, kImage) != 0) return -ENOENT;
  st->st_mode = S_IFREG | 0444;
  st->st_nlink = 1;
  st->st_size = image_size;
  return 0;
}

static int Readdir(const char *path, void *buf, fuse_fill_dir_t fill, off_t offset,
                   struct fuse_file_info *fi, enum fuse_readdir_flags flags) {
  (void)offset;
  (void)fi;
  (void)flags;
  if (strcmp(path, "/") != 0) return -ENOENT;
  fill(buf, ".", NULL, 0, 0);
  fill(buf, "..", NULL, 0, 0);
  fill(buf, kImage + 1, NULL, 0, 0);
  return 0;
}

static int Open(const char *path, struct fuse_file_info *fi) {
  if (strcmp(path, kImage) != 0) return -ENOENT;
  if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  fi->direct_io = 1;
  return 0;
}

static int Read(const char *path, char *out, size_t size, off_t offset, struct fuse_file_info *fi) {
  (void)path;
  (void)fi;
  const uint64_t start = (uint64_t)offset, end = start + size;
  for (int k = 0; k < bad_count; ++k)
    if (start < bad[k].end && bad[k].start < end) return -EIO;
  size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(image_fd, out + done, size - done, offset + (off_t)done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -errno;
    if (got == 0) break;
    done += (size_t)got;
  }
  return (int)done;
}

static const struct fuse_operations kOperations = {
    .getattr = Getattr,
    .readdir = Readdir,
    .open = Open,
    .read = Read,
};

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s IMAGE MOUNTPOINT [START-END]...\n", argv[0]);
    return 2;
  }
  image_fd = open(argv[1], O_RDONLY);
  struct stat st;
  if (image_fd < 0 || fstat(image_fd, &st) != 0) {
    perror(argv[1]);
    return 1;
  }
  image_size = st.st_size;
  for (int k = 3; k < argc; ++k) {
    if (bad_count == kMaxRanges ||
        sscanf(argv[k], "%" SCNu64 "-%" SCNu64, &bad[bad_count].start, &bad[bad_count].end) != 2 ||
        bad[bad_count].start >= bad[bad_count].end) {
      fprintf(stderr, "%s: bad range '%s' (START-END, END past START)\n", argv[0], argv[k]);
      return 2;
    }
    ++bad_count;
  }
  /* Foreground, one thread, read-only; the kernel checks nothing itself. */
  char *fuse_argv[] = {argv[0], "-f", "-s", "-o", "ro,fsname=failing_image_fs", argv[2], NULL};
  return fuse_main(6, fuse_argv, &kOperations, NULL);
}
