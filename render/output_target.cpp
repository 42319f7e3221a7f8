// Finding where an output lands, before anything is created: links followed by hand, so that
// a dangling link names the file to create through it, and the directory held open, so that
// the temporary file and the rename happen in the one directory that was looked at.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "output_file.h"

constexpr int MAX_LINKS = 40;  // as the kernel allows in one lookup

static bool fail(const char* name, int number, Message& error) {
    char shown[ECHO_SIZE];
    echo_text(shown, sizeof shown, name);
    message_set(error, "cannot write %s: %s", shown, std::strerror(number));
    return false;
}

// Replaces path by what it links to, as long as it is a link. A relative link is read from
// the link's own directory. Lookup errors are left to the caller's open, which reports them.
static bool follow_links(char (&path)[PATH_MAX], int& number) {
    for (int hops = 0;; ++hops) {
        char link[PATH_MAX];
        ssize_t length = readlink(path, link, sizeof link);
        if (length < 0) return true;
        if (hops == MAX_LINKS) {
            number = ELOOP;
            return false;
        }
        if (static_cast<size_t>(length) == sizeof link) {
            number = ENAMETOOLONG;
            return false;
        }
        link[length] = '\0';
        size_t keep = 0;  // the link's directory, up to and with its last '/'
        if (link[0] != '/') {
            const char* slash = std::strrchr(path, '/');
            keep = slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
        }
        if (keep + static_cast<size_t>(length) >= sizeof path) {
            number = ENAMETOOLONG;
            return false;
        }
        std::memcpy(path + keep, link, static_cast<size_t>(length) + 1);
    }
}

bool output_resolve(OutputFile& out, const char* name, Message& error) {
    out.name = name;
    // A device, FIFO or pipe that the name reaches is opened by the name itself: the links of
    // /dev/stdout and of a shell's >(command) end in /proc/self/fd links whose text is no path.
    struct stat reached;
    if (stat(name, &reached) == 0 && !S_ISREG(reached.st_mode) && !S_ISDIR(reached.st_mode)) {
        out.leaf = name;
        out.directory = AT_FDCWD;
        out.exists = true;
        out.existing = reached;
        out.direct = true;
        out.by_name = true;
        return true;
    }
    if (std::strlen(name) >= sizeof out.path) return fail(name, ENAMETOOLONG, error);
    std::strcpy(out.path, name);
    int number = 0;
    if (!follow_links(out.path, number)) return fail(name, number, error);

    char* slash = std::strrchr(out.path, '/');
    out.leaf = slash == nullptr ? out.path : slash + 1;
    if (out.leaf[0] == '\0') return fail(name, EISDIR, error);
    char directory[PATH_MAX];
    if (slash == nullptr) {
        std::strcpy(directory, ".");
    } else {
        size_t length = slash == out.path ? 1 : static_cast<size_t>(slash - out.path);
        std::memcpy(directory, out.path, length);
        directory[length] = '\0';
    }
    out.directory = open(directory, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (out.directory < 0 || fstat(out.directory, &out.directory_stat) != 0)
        return fail(name, errno, error);

    out.exists = fstatat(out.directory, out.leaf, &out.existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (!out.exists && errno != ENOENT) return fail(name, errno, error);
    if (out.exists && S_ISDIR(out.existing.st_mode)) {
        char shown[ECHO_SIZE];
        echo_text(shown, sizeof shown, name);
        message_set(error, "cannot write %s: it is a directory", shown);
        return false;
    }
    if (out.exists && S_ISLNK(out.existing.st_mode)) return fail(name, ELOOP, error);
    out.direct = out.exists && !S_ISREG(out.existing.st_mode);
    return true;
}

bool output_same(const OutputFile& a, const OutputFile& b) {
    if (a.directory_stat.st_dev == b.directory_stat.st_dev &&
        a.directory_stat.st_ino == b.directory_stat.st_ino && std::strcmp(a.leaf, b.leaf) == 0)
        return true;
    return a.exists && b.exists && a.existing.st_dev == b.existing.st_dev &&
           a.existing.st_ino == b.existing.st_ino;
}
