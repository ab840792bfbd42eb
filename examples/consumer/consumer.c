/*
 * A program that uses an installed tolsa: lists the variables of the shared
 * area, then writes IORSH_Speed through the IORSh family and reads it back
 * through the generic functions; the value is the first argument, 1234 by
 * default. Exits 1 when there is no area (no definition files in /kestor/)
 * or the value does not come back.
 *
 * Built with CMake (CMakeLists.txt here: find_package(tolsa)) or with
 * pkg-config:  cc consumer.c $(pkg-config --cflags --libs tolsa64)
 */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>

#include <tolsa.h>

int main(int argc, char **argv) {
    int32_t count = TolsaGetNumberOfItems();
    if (TolsaGetPointer() == NULL) {
        fprintf(stderr, "no shared area: /kestor/iorsh.mem or /kestor/memsh.mem is missing or empty\n");
        return 1;
    }
    printf("%" PRId32 " variables, %" PRId32 " bytes each\n", count, TolsaGetItemSize());
    for (int32_t i = 0; i < count; ++i) {
        char name[TOLSA_NAME_SIZE];
        TolsaReadNameVar(i, name);
        printf("%" PRId32 " %s %c %" PRId32 "\n", i, name, TolsaGetTypeVar(i), TolsaGetSizeVar(i));
    }

    int32_t speed = argc > 1 ? (int32_t)atol(argv[1]) : 1234;
    if (IORShWriteVarName("Speed", &speed) != 0) {
        fprintf(stderr, "IORSH_Speed is not declared\n");
        return 1;
    }
    int32_t back = TolsaReadInt32("IORSH_Speed");
    printf("IORSH_Speed = %" PRId32 "\n", back);
    return back == speed ? 0 : 1;
}
