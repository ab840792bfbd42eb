/*
 * tolsa: named, typed variables shared by the processes of one machine.
 *
 * Every process that loads the library maps the same shared area
 * "tolsavariables": one fixed-size record per variable declared in
 * /kestor/iorsh.mem and /kestor/memsh.mem, in declaration order. Start-up
 * runs when the library is loaded; every function below works on what it
 * published. There are no handles and no locks: values are plain bytes that
 * any process may read or write at any time.
 *
 * Failures are reported through the result only, and each failed lookup
 * writes one line to /kestor/tolsa_log.txt:
 *   "tried to access non-existing variable NAME" for an unknown name,
 *   "tried to access variable outside valid range (0 - LAST) INDEX" for a
 *   bad index.
 *
 * Buffers belong to the caller. A value read writes 64 bytes for a string
 * variable ('$') and the variable's size otherwise; a full-name read needs
 * 256 bytes, a declared-name read 250.
 *
 * Lifetime: the area lives while some process maps it; closing descriptors
 * does not end it, the mapping holds it. On Linux the object stays in
 * /dev/shm after the last process is gone, until the next starter finds no
 * holder and resets it to zeros.
 *
 * Access: on Linux only processes of the same user open the area (mode
 * 0600); on Windows the mapping has the default security of the session.
 *
 * Every loading process rewrites the name, type and size of each record from
 * its own reading of the definition files (values are kept) and truncates
 * the log.
 *
 * Start-up never waits forever: on Linux it waits at most 5 s for another
 * process's start-up, then logs why and gives up. While nothing is published
 * it is tried again: on Linux by each call, on Windows at each thread start
 * and end (never at process detach).
 *
 * Fork (Linux): fork waits while another thread is inside start-up or
 * writing the log, so a child never inherits either lock held and may call
 * at once. The child shares the parent's view and published state.
 */
#ifndef TOLSA_H
#define TOLSA_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(TOLSA_BUILDING)
#    define TOLSA_API __declspec(dllexport)
#  else
#    define TOLSA_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__) && !defined(__clang__) && !defined(TOLSA_BUILDING)
/* As dllimport does: a caller's call goes through the GOT entry itself, one
   jump less than a PLT stub (clang has no such attribute). */
#  define TOLSA_API __attribute__((visibility("default"), noplt))
#else
#  define TOLSA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes of one record in the shared area; record i is at base + i * 328. */
#define TOLSA_ITEM_SIZE 328
#define TOLSA_NAME_SIZE 256
#define TOLSA_VALUE_SIZE 64

/* The record as it lies in shared memory, little-endian. `name` is the full
 * name (IORSH_ or MEMSH_ followed by the declared name), NUL-terminated when
 * the library wrote it; `type` the declared letter; `size` the value size it
 * implies ('$' 63, B H O 1, M W 2, L 4, D 8, any other letter 0). */
typedef struct TolsaVariableRecord {
    char name[TOLSA_NAME_SIZE];
    char type;
    unsigned char reserved[3];
    int32_t size;
    unsigned char value[TOLSA_VALUE_SIZE];
} TolsaVariableRecord;

/* ---- The shared area ---------------------------------------------------- */

/* Address of record 0 in this process's view; NULL when no area is published. */
TOLSA_API TolsaVariableRecord *TolsaGetPointer(void);
/* Number of records; 0 when no area is published. */
TOLSA_API int32_t TolsaGetNumberOfItems(void);
/* Always 328, also before start-up. */
TOLSA_API int32_t TolsaGetItemSize(void);

/* ---- Generic access by full name or by index ---------------------------- */

/* Do nothing; return 0. */
TOLSA_API int32_t TolsaOpen(void);
TOLSA_API int32_t TolsaClose(void);

/* Index of the variable `name`; -1 when not found. */
TOLSA_API int32_t TolsaGetIdentVarName(const char *name);
/* Type letter of the variable at `index` / named `name`; '#' when not found. */
TOLSA_API char TolsaGetTypeVar(int32_t index);
TOLSA_API char TolsaGetTypeVarName(const char *name);
/* Value size; 0 (by index) or -1 (by name) when not found. */
TOLSA_API int32_t TolsaGetSizeVar(int32_t index);
TOLSA_API int32_t TolsaGetSizeVarName(const char *name);

/* Write the value at `source`: for '$' a string (by index at most 64 bytes
 * are read and the rest of the field is cleared; by name it is measured to
 * its NUL and cut at 63 characters), otherwise exactly size bytes.
 * 0 on success; -1 (by index) or -5 (by name) when not found, nothing written. */
TOLSA_API int32_t TolsaWriteVar(int32_t index, const void *source);
TOLSA_API int32_t TolsaWriteVarName(const char *name, const void *source);

/* Copy the value into `destination`: 64 bytes for '$' (always terminated,
 * NUL-padded), otherwise exactly size bytes.
 * 0 on success; -1 (by index) or -3 (by name) when not found, destination
 * untouched. */
TOLSA_API int32_t TolsaReadVar(int32_t index, void *destination);
TOLSA_API int32_t TolsaReadVarName(const char *name, void *destination);

/* Copy the full name of the variable at `index` into `destination` (256
 * bytes), always terminated. Returns 0, also when the index is out of range
 * (then the destination is untouched). */
TOLSA_API int32_t TolsaReadNameVar(int32_t index, char *destination);

/* Address of the variable's 64-byte value field in this process's view,
 * valid for the life of the process; NULL when not found. */
TOLSA_API void *TolsaGetPointerVarName(const char *name);

/* ---- Typed conveniences, by full name; no type letter is checked -------- */

/* Byte 0, bytes 0-3, bytes 0-7 of the value field; 0 / 0.0 when not found. */
TOLSA_API unsigned char TolsaReadByte(const char *name);
TOLSA_API int32_t TolsaReadInt32(const char *name);
TOLSA_API double TolsaReadDouble(const char *name);
/* As TolsaReadVarName: `destination` holds 64 bytes. 0, or -3. */
TOLSA_API int32_t TolsaReadString(const char *name, char *destination);
/* As TolsaGetPointerVarName. */
TOLSA_API char *TolsaReadStringDirect(const char *name);

/* Write the value as TolsaWriteVarName does, from the value zero-extended to
 * 64 bytes: a narrower value is widened with zeros, a wider one keeps its
 * first size bytes. 0, or -5 when not found. */
TOLSA_API int32_t TolsaWriteByte(const char *name, unsigned char value);
TOLSA_API int32_t TolsaWriteInt32(const char *name, int32_t value);
TOLSA_API int32_t TolsaWriteDouble(const char *name, double value);
/* As TolsaWriteVarName with a string. 0, or -5. */
TOLSA_API int32_t TolsaWriteString(const char *name, const char *value);

/* ---- The IORSh and MemSh families --------------------------------------- */
/*
 * The same operations for the variables of iorsh.mem (IORSh, prefix IORSH_)
 * and memsh.mem (MemSh, prefix MEMSH_), addressed by their declared names.
 * A by-name function looks up prefix + name and returns what the generic
 * function returns (the miss line names the full name); a by-index function
 * is its generic twin: indices are global over the whole area.
 */

/* Do nothing; return 1. The argument is ignored. */
TOLSA_API int32_t IORShOpen(void *unused);
TOLSA_API int32_t IORShClose(void);
TOLSA_API int32_t IORShReadApplicationCount(void);
TOLSA_API int32_t IORShGetIdentVarName(const char *name);
TOLSA_API char IORShGetTypeVar(int32_t index);
TOLSA_API char IORShGetTypeVarName(const char *name);
TOLSA_API int32_t IORShGetSizeVar(int32_t index);
TOLSA_API int32_t IORShGetSizeVarName(const char *name);
TOLSA_API int32_t IORShWriteVar(int32_t index, const void *source);
TOLSA_API int32_t IORShWriteVarName(const char *name, const void *source);
TOLSA_API int32_t IORShReadVar(int32_t index, void *destination);
TOLSA_API int32_t IORShReadVarName(const char *name, void *destination);
/* The record's full name without its first 6 characters, into `destination`
 * (250 bytes); the empty string when the index is out of range. Returns 0. */
TOLSA_API int32_t IORShReadNameVar(int32_t index, char *destination);

TOLSA_API int32_t MemShOpen(void *unused);
TOLSA_API int32_t MemShClose(void);
TOLSA_API int32_t MemShReadApplicationCount(void);
TOLSA_API int32_t MemShGetIdentVarName(const char *name);
TOLSA_API char MemShGetTypeVar(int32_t index);
TOLSA_API char MemShGetTypeVarName(const char *name);
TOLSA_API int32_t MemShGetSizeVar(int32_t index);
TOLSA_API int32_t MemShGetSizeVarName(const char *name);
TOLSA_API int32_t MemShWriteVar(int32_t index, const void *source);
TOLSA_API int32_t MemShWriteVarName(const char *name, const void *source);
TOLSA_API int32_t MemShReadVar(int32_t index, void *destination);
TOLSA_API int32_t MemShReadVarName(const char *name, void *destination);
TOLSA_API int32_t MemShReadNameVar(int32_t index, char *destination);

#ifdef __cplusplus
}
#endif

#endif /* TOLSA_H */
