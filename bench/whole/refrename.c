/* The reference for a whole rename command: read the folder, sort the names, and give every
   regular file the name "x N.ext" with renameat2(RENAME_NOREPLACE), as a plain C program does
   it. Usage: refrename FOLDER */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int byName(const void *a, const void *b)
{
    return strcmp(*(char *const *)a, *(char *const *)b);
}

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    DIR *dir = opendir(argv[1]);
    if (!dir)
        return 2;
    size_t count = 0, room = 1024;
    char **names = malloc(room * sizeof *names);
    struct dirent *entry;
    while ((entry = readdir(dir))) {
        if (entry->d_type != DT_REG)
            continue;
        if (count == room)
            names = realloc(names, (room *= 2) * sizeof *names);
        names[count++] = strdup(entry->d_name);
    }
    qsort(names, count, sizeof *names, byName);
    const int fd = dirfd(dir);
    int failed = 0;
    char target[4096];
    for (size_t i = 0; i < count; ++i) {
        const char *dot = strrchr(names[i], '.');
        snprintf(target, sizeof target, "x %zu%s", i + 1, dot ? dot : "");
        /* Where the file system lacks the no-replace flag (FUSE), a plain rename. */
        if (renameat2(fd, names[i], fd, target, RENAME_NOREPLACE) != 0
            && (errno != EINVAL || renameat(fd, names[i], fd, target) != 0))
            failed = 1;
    }
    closedir(dir);
    return failed;
}
