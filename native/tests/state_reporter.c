/* Test helper: writes to the file named by argv[1] what this process inherited, one "key value" a line. */
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern char **environ;

/* Copies the lines of /proc/self/status that start with one of `keys`. */
static void copyStatus(FILE *report, const char *const keys[]) {
    char line[512];
    FILE *status = fopen("/proc/self/status", "r");
    while (status && fgets(line, sizeof line, status)) {
        for (const char *const *key = keys; *key; ++key) {
            if (strncmp(line, *key, strlen(*key)) == 0 && line[strlen(*key)] == ':') fputs(line, report);
        }
    }
    if (status) fclose(status);
}

int main(int argc, char **argv) {
    if (argc != 2) return 100;
    /* Descriptors first, before this program opens any of its own. */
    char fds[16384] = "";
    DIR *dir = opendir("/proc/self/fd");
    for (struct dirent *entry; dir && (entry = readdir(dir));) {
        int fd = atoi(entry->d_name);
        if (entry->d_name[0] == '.' || fd == dirfd(dir)) continue;
        char path[64], target[4096];
        snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
        ssize_t length = readlink(path, target, sizeof target - 1);
        target[length < 0 ? 0 : length] = '\0';
        size_t used = strlen(fds);
        snprintf(fds + used, sizeof fds - used, "fd %d %s\n", fd, target);
    }
    if (dir) closedir(dir);

    FILE *report = fopen(argv[1], "w");
    if (report == NULL) return 101;
    fputs(fds, report);
    static const char *const keys[] = {"SigBlk", "SigIgn", "SigCgt", "Umask", NULL};
    copyStatus(report, keys);
    /* The mask as the program itself reads it, which qemu-user emulates, unlike its /proc. */
    sigset_t mask;
    int blocked = 0;
    sigprocmask(SIG_SETMASK, NULL, &mask);
    for (int signal = 1; signal < NSIG; ++signal) blocked += sigismember(&mask, signal) == 1;
    fprintf(report, "blocked %d\n", blocked);
    int pgrp, session, tty;
    FILE *stat = fopen("/proc/self/stat", "r");
    if (stat == NULL || fscanf(stat, "%*d (%*[^)]) %*c %*d %d %d %d", &pgrp, &session, &tty) != 3) return 102;
    fclose(stat);
    fprintf(report, "pgrp %d\nsession %d\ntty %d\n", pgrp, session, tty);
    char cwd[4096];
    fprintf(report, "cwd %s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
    char line[512];
    FILE *limits = fopen("/proc/self/limits", "r");
    while (limits && fgets(line, sizeof line, limits)) fprintf(report, "limit %s", line);
    if (limits) fclose(limits);
    for (char **variable = environ; *variable; ++variable) fprintf(report, "env %s\n", *variable);
    return fclose(report) == 0 ? 0 : 103;
}
