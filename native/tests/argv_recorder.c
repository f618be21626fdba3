/* Test helper: writes its process ID and every argument it received, byte for byte, to $RECORD_FILE. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* The file holds the decimal process ID, then each argument, each followed by one NUL byte. */
int main(int argc, char **argv) {
    const char *path = getenv("RECORD_FILE");
    FILE *record = path ? fopen(path, "wb") : NULL;
    if (record == NULL) return 101;
    fprintf(record, "%d", (int)getpid());
    fputc('\0', record);
    for (int i = 0; i < argc; ++i) fwrite(argv[i], 1, strlen(argv[i]) + 1, record);
    return fclose(record) == 0 ? 0 : 102;
}
