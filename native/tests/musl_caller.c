/* A caller linked with musl: a program that cannot be loaded ends the child by SIGABRT, never the caller. */
#include <stdio.h>
#include <sys/wait.h>
#include <vokrane.h>

int main(void) {
    char *argv[] = {"vokrane-no-such-program", NULL};
    pid_t pid = spawn(argv[0], argv);
    int status;
    if (pid == -1 || waitpid(pid, &status, 0) != pid) return 1;
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGABRT || WCOREDUMP(status)) return 2;
    puts("the caller lives on");
    return 0;
}
