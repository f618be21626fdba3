/* Test helper: another library's function named spawn, preloaded to see that the entry points never
   call it in place of their own launcher. */
#include <errno.h>
#include <sys/types.h>
#include <unistd.h>

pid_t spawn(const char *program, char *const argv[]) {
    (void)program, (void)argv;
    static const char message[] = "foreign spawn called\n";
    write(STDERR_FILENO, message, sizeof message - 1);
    errno = ENOSYS;
    return -1;
}
