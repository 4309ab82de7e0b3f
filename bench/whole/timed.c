/* Runs a command with its output to /dev/null and prints the wall time from just before its
   start to its end in milliseconds, as a user's stopwatch would see it, and its exit status.
   Leading NAME=VALUE arguments go into the command's environment, as a shell puts them there,
   so that starting env(1) is not timed with the command.
   Usage: timed [NAME=VALUE...] COMMAND [ARGUMENT...] */
#define _GNU_SOURCE
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

int main(int argc, char **argv)
{
    int first = 1;
    while (first < argc && strchr(argv[first], '=') && argv[first][0] != '/' && argv[first][0] != '=')
        putenv(argv[first++]);
    if (first >= argc)
        return 2;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    struct timespec start, end;
    pid_t child;
    clock_gettime(CLOCK_MONOTONIC, &start);
    if (posix_spawnp(&child, argv[first], &actions, NULL, argv + first, environ) != 0) {
        perror(argv[first]);
        return 2;
    }
    int status = 0;
    waitpid(child, &status, 0);
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double ms = (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6;
    printf("%.3f %d\n", ms, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return 0;
}
