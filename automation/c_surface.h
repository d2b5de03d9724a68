/* The plain C surface of libTMVVelka.so, for hosts in other languages (a Python client with
 * ctypes, a C program): create a registered control by programmatic identifier, call its
 * members by dispatch identifier or by name with an array of variants, receive its events
 * through a callback, release it.
 *
 * Statuses are the automation layer's (hresult.h): 0 success, negative a refusal; the text
 * of the last refusal on the calling thread is velka_last_error(). A member's own result
 * code (0, 101, 114 ...) comes back as its Long result, with status 0.
 *
 * Strings are UTF-16, made by the library (velka_string_new, velka_string_from_utf8) and
 * freed by velka_string_free; NULL is the empty string. The library knows the strings it
 * made by their address and reads nothing through any other pointer (a buffer of the
 * caller's, a pointer into a library string, a string already freed): as an argument such a
 * pointer is refused with status 0x80020005 (TypeMismatch) and a velka_last_error() naming
 * the argument; velka_string_length gives 0 for it; velka_string_free and
 * velka_variant_clear leave it alone. (A freed string's address may be given to a later
 * string, which then answers for it: free each string once.)
 *   - a String argument by value is only read; the caller keeps it;
 *   - a String argument by reference (VELKA_VT_STRING | VELKA_VT_BYREF) points to the
 *     caller's VelkaString variable; when the member writes it back, the library frees the
 *     old string and stores a new one there. Either way the caller frees what the variable
 *     holds afterwards;
 *   - a String result is the caller's, to free with velka_variant_clear.
 * Arguments are in declaration order (args[0] is the first parameter); trailing optional
 * ones may be left out, and VELKA_VT_EMPTY stands for a left-out optional argument.
 * Everything runs on the calling thread; nothing here is safe to share between threads.
 * A C host compiles this header with the tree's root on its include path (for
 * automation/library_export.h, which marks what the library exports). */
#ifndef VELKA_C_SURFACE_H
#define VELKA_C_SURFACE_H

#include <stdint.h>

#include "automation/library_export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t VelkaStatus;
typedef uint16_t VelkaChar; /* one UTF-16 unit */
typedef VelkaChar* VelkaString;

enum {
  VELKA_VT_EMPTY = 0,
  VELKA_VT_INTEGER = 2,
  VELKA_VT_LONG = 3,
  VELKA_VT_CURRENCY = 6, /* 64-bit count of ten-thousandths */
  VELKA_VT_STRING = 8,
  VELKA_VT_BOOLEAN = 11, /* 16-bit, True = -1 (any non-zero is True) */
  VELKA_VT_LONG_ARRAY = 0x2003,
  VELKA_VT_BYREF = 0x4000
};

enum { VELKA_INVOKE_METHOD = 1, VELKA_INVOKE_PROPERTYGET = 2, VELKA_INVOKE_PROPERTYPUT = 4 };

/* The caller's memory; only read (no member writes an array back). */
typedef struct VelkaLongArray {
  int32_t* data;
  int32_t count;
} VelkaLongArray;

typedef struct VelkaVariant {
  uint16_t type; /* VELKA_VT_..., possibly | VELKA_VT_BYREF */
  uint16_t reserved[3];
  union {
    int16_t integer_value;
    int32_t long_value;
    int16_t boolean_value;
    int64_t currency_value;
    VelkaString string_value;
    VelkaLongArray array_value;
    int16_t* integer_ref;
    int32_t* long_ref;
    int16_t* boolean_ref;
    int64_t* currency_ref;
    VelkaString* string_ref;
    VelkaLongArray* array_ref;
  } value;
} VelkaVariant;

typedef struct VelkaObject VelkaObject;

/* An event: its identifier (1 DataEvent ... 6 ReceiveDataEvent) and arguments in declaration
 * order. By-value strings are freed when the callback returns (copy what you keep). A
 * by-reference Long may be written; a by-reference String may be replaced (free the old one
 * with velka_string_free, store one from velka_string_new); the control reads them back. */
typedef void (*VelkaEventCallback)(void* context, int32_t event_id, VelkaVariant* args,
                                   int32_t count);

/* Creates an instance of a registered class (for the control: "TMVVelka.TmvEcrVelka"), with
 * an event loop of its own. *object gets one reference. */
VELKA_EXPORT VelkaStatus velka_create(const char* prog_id, VelkaObject** object);
VELKA_EXPORT uint32_t velka_add_ref(VelkaObject* object);
/* Drops a reference; the last one disconnects the callbacks and releases the instance. */
VELKA_EXPORT uint32_t velka_release(VelkaObject* object);

/* The dispatch identifier of a member name (letter case does not matter). */
VELKA_EXPORT VelkaStatus velka_get_id(VelkaObject* object, const char* name, int32_t* dispid);
/* Calls a member; kind is VELKA_INVOKE_...; result (may be NULL) gets the member's result. */
VELKA_EXPORT VelkaStatus velka_invoke(VelkaObject* object, int32_t dispid, uint16_t kind,
                                      VelkaVariant* args, int32_t count, VelkaVariant* result);
VELKA_EXPORT VelkaStatus velka_invoke_by_name(VelkaObject* object, const char* name, uint16_t kind,
                                              VelkaVariant* args, int32_t count,
                                              VelkaVariant* result);

VELKA_EXPORT VelkaStatus velka_advise(VelkaObject* object, VelkaEventCallback callback,
                                      void* context, uint32_t* cookie);
VELKA_EXPORT VelkaStatus velka_unadvise(VelkaObject* object, uint32_t cookie);

/* The text of the last refusal on this thread ("" when none); valid until the next call. */
VELKA_EXPORT const char* velka_last_error(void);

/* A new library string holding a copy of length units (NUL-terminated after them; units may
 * include NULs); NULL when length is negative or too long, or memory runs out. */
VELKA_EXPORT VelkaString velka_string_new(const VelkaChar* text, int32_t length);
VELKA_EXPORT VelkaString velka_string_from_utf8(const char* text);
/* The number of UTF-16 units of a library string (the closing NUL not counted); 0 for NULL
 * and for a pointer the library did not make. */
VELKA_EXPORT int32_t velka_string_length(VelkaString text);
VELKA_EXPORT void velka_string_free(VelkaString text);
/* Frees what a variant owns (a string made by the library) and leaves it empty. */
VELKA_EXPORT void velka_variant_clear(VelkaVariant* variant);

/* Registration of the library (the same as DllRegisterServer / DllUnregisterServer). */
VELKA_EXPORT VelkaStatus DllRegisterServer(void);
VELKA_EXPORT VelkaStatus DllUnregisterServer(void);
VELKA_EXPORT VelkaStatus DllCanUnloadNow(void);

#ifdef __cplusplus
}
#endif

#endif /* VELKA_C_SURFACE_H */
