/* A C99 caller of every exported function. It runs with no definition files,
 * so nothing is published and every call must give its own failure result
 * and leave the caller's buffers alone. Prints every mismatch and exits 1
 * if there was any. */

#include <stdio.h>
#include <string.h>

#include "tolsa.h"

static int failures = 0;

static void Expect(int ok, const char *what) {
    if (!ok) {
        printf("mismatch: %s\n", what);
        ++failures;
    }
}

#define EXPECT(expr) Expect((expr), #expr)

#define MARK 0xCC
static unsigned char buffer[300];

static void Mark(void) { memset(buffer, MARK, sizeof buffer); }

/* Every byte from `from` on still holds the marker. */
static int MarkedFrom(size_t from) {
    size_t i;
    for (i = from; i < sizeof buffer; ++i) {
        if (buffer[i] != MARK) return 0;
    }
    return 1;
}

static const char source[64] = "value";

#define CHECK_FAMILY(F)                                                     \
    do {                                                                    \
        EXPECT(F##Open(NULL) == 1);                                         \
        EXPECT(F##Close() == 1);                                            \
        EXPECT(F##ReadApplicationCount() == 1);                             \
        EXPECT(F##GetIdentVarName("Speed") == -1);                          \
        EXPECT(F##GetTypeVar(0) == '#');                                    \
        EXPECT(F##GetTypeVarName("Speed") == '#');                          \
        EXPECT(F##GetSizeVar(0) == 0);                                      \
        EXPECT(F##GetSizeVarName("Speed") == -1);                           \
        EXPECT(F##WriteVar(0, source) == -1);                               \
        EXPECT(F##WriteVarName("Speed", source) == -5);                     \
        Mark();                                                             \
        EXPECT(F##ReadVar(0, buffer) == -1 && MarkedFrom(0));               \
        Mark();                                                             \
        EXPECT(F##ReadVarName("Speed", buffer) == -3 && MarkedFrom(0));     \
        Mark();                                                             \
        /* The empty declared name, and nothing else written. */           \
        EXPECT(F##ReadNameVar(0, (char *)buffer) == 0 && buffer[0] == '\0'); \
        EXPECT(MarkedFrom(1));                                              \
    } while (0)

int main(void) {
    const char *name = "IORSH_Speed";
    int32_t index = -1;

    EXPECT(TolsaGetPointer() == NULL);
    EXPECT(TolsaGetNumberOfItems() == 0);
    EXPECT(TolsaGetItemSize() == 328);
    EXPECT(sizeof(TolsaVariableRecord) == 328);
    EXPECT(TolsaOpen() == 0);
    EXPECT(TolsaClose() == 0);

    EXPECT(TolsaGetIdentVarName(name) == -1);
    EXPECT(TolsaGetTypeVar(index) == '#');
    EXPECT(TolsaGetTypeVarName(name) == '#');
    EXPECT(TolsaGetSizeVar(index) == 0);
    EXPECT(TolsaGetSizeVarName(name) == -1);
    EXPECT(TolsaWriteVar(index, source) == -1);
    EXPECT(TolsaWriteVarName(name, source) == -5);
    Mark();
    EXPECT(TolsaReadVar(index, buffer) == -1 && MarkedFrom(0));
    Mark();
    EXPECT(TolsaReadVarName(name, buffer) == -3 && MarkedFrom(0));
    Mark();
    EXPECT(TolsaReadNameVar(0, (char *)buffer) == 0 && MarkedFrom(0));
    EXPECT(TolsaGetPointerVarName(name) == NULL);

    EXPECT(TolsaReadByte(name) == 0);
    EXPECT(TolsaReadInt32(name) == 0);
    EXPECT(TolsaReadDouble(name) == 0.0);
    Mark();
    EXPECT(TolsaReadString(name, (char *)buffer) == -3 && MarkedFrom(0));
    EXPECT(TolsaReadStringDirect(name) == NULL);
    EXPECT(TolsaWriteByte(name, 1) == -5);
    EXPECT(TolsaWriteInt32(name, 1) == -5);
    EXPECT(TolsaWriteDouble(name, 1.0) == -5);
    EXPECT(TolsaWriteString(name, "text") == -5);

    CHECK_FAMILY(IORSh);
    CHECK_FAMILY(MemSh);

    if (failures != 0) {
        printf("%d mismatches\n", failures);
        return 1;
    }
    printf("all 51 functions gave their failure results\n");
    return 0;
}
