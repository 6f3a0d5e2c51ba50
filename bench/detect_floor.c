/* The floor for sandbox detection over a folder of apps: the least work any reader could
 * do. Lists the folder; for each bundle opens, reads and closes Contents/Info.plist, finds
 * CFBundleExecutable without parsing (memmem in XML; in a binary list, straight from the
 * trailer to the root dictionary's keys), opens the executable, reads its header, its load
 * commands and its signature with one pread each (64-bit little-endian slices; for a fat
 * file one more pread of the slice's header after the fat header, taking this machine's
 * architecture, else the first),
 * looks for the sandbox key in the entitlements with memmem, and closes. No checks beyond
 * staying inside its buffers. Prints the line bench_detect_folder prints.
 * Usage: detect_floor DIR */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static char plist[1 << 20];
static char commands[1 << 16];
static char signature[1 << 16];

static uint64_t be(const unsigned char *p, int size)
{
    uint64_t value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | p[i];
    return value;
}

static uint32_t be32(const char *p)
{
    return (uint32_t)be((const unsigned char *)p, 4);
}

static uint32_t le32(const char *p)
{
    uint32_t value;
    memcpy(&value, p, 4);
    return value;
}

/* A binary object's count, the marker at *object; moves *object to the contents. */
static uint64_t counted(const unsigned char **object)
{
    uint64_t count = **object & 0x0f;
    ++*object;
    if (count == 0x0f) {
        const int bytes = 1 << (**object & 0x0f);
        count = be(*object + 1, bytes);
        *object += 1 + bytes;
    }
    return count;
}

/* The name, copied into `name`; 0 when not found. */
static int executableName(const char *data, size_t size, char *name, size_t room)
{
    static const char key[] = "CFBundleExecutable";
    if (size > 40 && memcmp(data, "bplist00", 8) == 0) {
        const unsigned char *d = (const unsigned char *)data;
        const unsigned char *trailer = d + size - 32;
        const int offsetSize = trailer[6];
        const int refSize = trailer[7];
        const uint64_t table = be(trailer + 24, 8);
        const uint64_t root = be(d + table + be(trailer + 16, 8) * offsetSize, offsetSize);
        const unsigned char *refs = d + root;
        const uint64_t count = counted(&refs);
        for (uint64_t i = 0; i < count; ++i) {
            const unsigned char *object
                = d + be(d + table + be(refs + i * refSize, refSize) * offsetSize, offsetSize);
            if ((object[0] >> 4) != 0x5 || counted(&object) != sizeof key - 1
                || memcmp(object, key, sizeof key - 1))
                continue;
            const unsigned char *value
                = d + be(d + table + be(refs + (count + i) * refSize, refSize) * offsetSize, offsetSize);
            const int ascii = (value[0] >> 4) == 0x5;
            const uint64_t length = counted(&value);
            if (!ascii || length >= room)
                return 0;
            memcpy(name, value, length);
            name[length] = '\0';
            return 1;
        }
        return 0;
    }
    const char *at = memmem(data, size, key, sizeof key - 1);
    const char *start = at ? memmem(at, size - (size_t)(at - data), "<string>", 8) : NULL;
    const char *end = start ? memmem(start, size - (size_t)(start - data), "</string>", 9) : NULL;
    if (!end || (size_t)(end - start - 8) >= room)
        return 0;
    memcpy(name, start + 8, (size_t)(end - start - 8));
    name[end - start - 8] = '\0';
    return 1;
}

static int sandboxed(const char *path)
{
    char header[512];
    int result = 0;
    off_t base = 0;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    ssize_t got = pread(fd, header, sizeof header, 0);
    if (got >= 8 && be32(header) == 0xcafebabe) {
#if defined(__x86_64__)
        const uint32_t host = 0x01000007;
#else
        const uint32_t host = 0x0100000c;
#endif
        const uint32_t slices = be32(header + 4);
        base = be32(header + 16);
        for (uint32_t i = 0; i < slices && 8 + (i + 1) * 20 <= (uint32_t)got; ++i) {
            if (be32(header + 8 + i * 20) == host) {
                base = be32(header + 8 + i * 20 + 8);
                break;
            }
        }
        got = pread(fd, header, 32, base);
    }
    if (got >= 32 && le32(header) == 0xfeedfacf) {
        const uint32_t count = le32(header + 16);
        const uint32_t bytes = le32(header + 20);
        if (bytes <= sizeof commands && pread(fd, commands, bytes, base + 32) == (ssize_t)bytes) {
            uint32_t at = 0;
            for (uint32_t i = 0; i < count && at + 16 <= bytes; ++i) {
                const uint32_t size = le32(commands + at + 4);
                if (le32(commands + at) == 0x1d) {
                    const uint32_t length = le32(commands + at + 12);
                    got = pread(fd, signature, length < sizeof signature ? length : sizeof signature,
                        base + le32(commands + at + 8));
                    static const char entry[] = "com.apple.security.app-sandbox</key>\n\t<true/>";
                    result = got > 0 && memmem(signature, (size_t)got, entry, sizeof entry - 1);
                    break;
                }
                if (size < 8)
                    break;
                at += size;
            }
        }
    }
    close(fd);
    return result;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    /* Process CPU time, as bench_detect_folder measures: other load on the machine, which
     * takes the processor away for a while, does not count. */
    struct timespec start, end;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    DIR *dir = opendir(argv[1]);
    if (!dir) {
        perror(argv[1]);
        return 1;
    }
    int apps = 0;
    int sandboxedApps = 0;
    char path[4096];
    char name[256];
    for (struct dirent *entry; (entry = readdir(dir));) {
        const size_t length = strlen(entry->d_name);
        if (length < 5 || strcmp(entry->d_name + length - 4, ".app") != 0)
            continue;
        ++apps;
        snprintf(path, sizeof path, "%s/%s/Contents/Info.plist", argv[1], entry->d_name);
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const ssize_t got = read(fd, plist, sizeof plist);
        close(fd);
        if (got <= 0 || !executableName(plist, (size_t)got, name, sizeof name))
            continue;
        snprintf(path, sizeof path, "%s/%s/Contents/MacOS/%s", argv[1], entry->d_name, name);
        sandboxedApps += sandboxed(path);
    }
    closedir(dir);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
    const double ms = (double)(end.tv_sec - start.tv_sec) * 1e3 + (double)(end.tv_nsec - start.tv_nsec) / 1e6;
    printf("%d apps, %d sandboxed, %.2f ms, %.2f us/app\n", apps, sandboxedApps, ms,
        apps ? ms * 1e3 / apps : 0.0);
    return 0;
}
