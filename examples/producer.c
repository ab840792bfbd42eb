/*
 * An example producer: a program that publishes its state through tolsa, the
 * way a real one would. Every interval it counts one more iteration and writes
 * IORSH_Counter (L), IORSH_Level (D) and IORSH_Status ($); any other process
 * that loads the library sees the values change, for example `tolsa watch`.
 *
 *   producer [--count N] [--interval MS]
 *
 * It stops after N iterations (runs until stopped by default), or at once on
 * Ctrl-C or SIGTERM, writing a last status "stopped". The variables are
 * declared in examples/kestor/iorsh.mem, to be copied to /kestor/.
 */
#if !defined(_WIN32)
#define _POSIX_C_SOURCE 199309L
#endif

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

#include "tolsa.h"

static volatile sig_atomic_t stop_requested = 0;

static void on_signal(int signal_number) {
    (void)signal_number;
    stop_requested = 1;
}

static void sleep_ms(long ms) {
#if defined(_WIN32)
    Sleep((DWORD)ms);
#else
    struct timespec delay;
    delay.tv_sec = ms / 1000;
    delay.tv_nsec = (ms % 1000) * 1000000L;
    nanosleep(&delay, NULL); /* a signal cuts it short, which is what we want */
#endif
}

/* A whole number from 1 to max, or 0 when the text is not one. */
static long parse_positive(const char *text, long max) {
    char *end = NULL;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > max) return 0;
    return value;
}

static int usage(void) {
    fprintf(stderr, "usage: producer [--count N] [--interval MS]\n");
    return 2;
}

int main(int argc, char **argv) {
    long count = 0; /* 0: until stopped */
    long interval = 200;
    int i;
    for (i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--count") == 0 && i + 1 < argc) {
            if ((count = parse_positive(argv[++i], 2000000000L)) == 0) return usage();
        } else if (strcmp(argv[i], "--interval") == 0 && i + 1 < argc) {
            if ((interval = parse_positive(argv[++i], 3600000L)) == 0) return usage();
        } else {
            return usage();
        }
    }

    /* Start-up ran when the library was loaded; without an area there is
     * nothing to write to, and the log says why. */
    if (TolsaGetPointer() == NULL) {
        fprintf(stderr, "producer: no shared area; see /kestor/tolsa_log.txt (or run 'tolsa info')\n");
        return 1;
    }
    if (TolsaGetIdentVarName("IORSH_Counter") < 0 || TolsaGetIdentVarName("IORSH_Level") < 0 ||
        TolsaGetIdentVarName("IORSH_Status") < 0) {
        fprintf(stderr, "producer: declare Counter=L, Level=D and Status=$ in /kestor/iorsh.mem\n");
        return 1;
    }
    signal(SIGINT, on_signal);
    signal(SIGTERM, on_signal);

    {
        int32_t counter = TolsaReadInt32("IORSH_Counter"); /* carry on where a previous run left off */
        double level = 0.0, step = 2.5;
        long done = 0;
        char status[64];
        while (!stop_requested && (count == 0 || done < count)) {
            ++counter;
            level += step;
            if (level >= 100.0 || level <= 0.0) step = -step; /* turn at the ends */
            snprintf(status, sizeof status, "%s, iteration %ld", step > 0 ? "rising" : "falling", (long)counter);
            TolsaWriteInt32("IORSH_Counter", counter);
            TolsaWriteDouble("IORSH_Level", level);
            TolsaWriteString("IORSH_Status", status);
            ++done;
            if (count == 0 || done < count) sleep_ms(interval);
        }
        TolsaWriteString("IORSH_Status", "stopped");
    }
    return 0;
}
