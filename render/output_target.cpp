// Finding where an output lands, before anything is created: links followed by hand, so that
// a dangling link names the file to create through it, and the directory held open, so that
// the temporary file and the rename happen in the one directory that was looked at.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
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

// Whether the process holds CAP_FOWNER, which lets it replace any file in a sticky directory.
static bool may_own_any_file() {
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    return (data[CAP_TO_INDEX(CAP_FOWNER)].effective & CAP_TO_MASK(CAP_FOWNER)) != 0;
}

// Whether at/leaf (at itself when leaf is "") has one of the attributes statx reports
// (immutable, append-only, mount root); false where the file system does not tell.
static bool has_attribute(int at, const char* leaf, uint64_t attribute) {
    struct statx facts;
    const int flags = AT_SYMLINK_NOFOLLOW | (leaf[0] == '\0' ? AT_EMPTY_PATH : 0);
    if (statx(at, leaf, flags, STATX_BASIC_STATS, &facts) != 0) return false;
    return (facts.stx_attributes_mask & attribute) != 0 && (facts.stx_attributes & attribute) != 0;
}

// The kernel's own tests for putting a new file in place under the name, asked before anything
// is written so that a name that cannot be replaced fails before the summary line: the temporary
// file is renamed in the directory (and removed on failure), and the rename removes what is
// there. Permission to write the directory is tested by creating the temporary file.
static bool replaceable(const OutputFile& out, Message& error) {
    const char* reason = nullptr;
    if (has_attribute(out.directory, "", STATX_ATTR_APPEND)) {
        reason = "its directory is append-only, where no file can be renamed or removed";
    } else if (out.exists && has_attribute(out.directory, out.leaf,
                                           STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND)) {
        reason = "the file is immutable or append-only and cannot be replaced";
    } else if (out.exists && (out.directory_stat.st_mode & S_ISVTX) != 0 &&
               out.existing.st_uid != geteuid() && out.directory_stat.st_uid != geteuid() &&
               !may_own_any_file()) {
        reason = "another user's file in a sticky directory cannot be replaced";
    } else if (out.exists && has_attribute(out.directory, out.leaf, STATX_ATTR_MOUNT_ROOT)) {
        reason = "a file mounted there cannot be replaced";
    }
    if (reason == nullptr) return true;
    char shown[ECHO_SIZE];
    echo_text(shown, sizeof shown, out.name);
    message_set(error, "cannot write %s: %s", shown, reason);
    return false;
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
    return out.direct || replaceable(out, error);
}

bool output_same(const OutputFile& a, const OutputFile& b) {
    if (a.directory_stat.st_dev == b.directory_stat.st_dev &&
        a.directory_stat.st_ino == b.directory_stat.st_ino && std::strcmp(a.leaf, b.leaf) == 0)
        return true;
    return a.exists && b.exists && a.existing.st_dev == b.existing.st_dev &&
           a.existing.st_ino == b.existing.st_ino;
}
