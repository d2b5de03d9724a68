/* The C surface of libTMVVelka.so: the contract a host in C, or in any language with a C
 * foreign-function interface (Python's ctypes, ...), programs against. It creates a registered
 * control by programmatic identifier, calls its members by dispatch identifier or by name with
 * an array of variants, delivers its events to a callback, turns its event loop, and releases
 * it. This header is all a host includes; it needs only <stdint.h> and
 * automation/library_export.h beside it. Link with -lTMVVelka.
 *
 * STATUSES. Every function returning VelkaStatus returns 0 on success and a negative status
 * when it refuses the call; the refusal's English text is then velka_last_error(). A member's
 * own result code (0, 101, 114 ...) is something else: it comes back as the member's Long
 * result, with status 0. The refusals:
 *   0x80004003 Pointer           a required pointer was NULL
 *   0x80070057 InvalidArgument   an argument out of its range (a negative wait)
 *   0x8001010E WrongThread       called on a thread other than the object's (below)
 *   0x80020003 MemberNotFound    no such member, or a kind the member does not have
 *   0x80020006 UnknownName       no member of that name
 *   0x80020005 TypeMismatch      an argument of the wrong type, or a string not the library's
 *   0x8002000A Overflow          a value out of range for its type
 *   0x8002000E BadParamCount     a wrong number of arguments
 *   0x8002000F ParamNotOptional  a required argument left out
 *   0x800A017F ReadOnlyProperty  a put on a read-only property
 *   0x80020009 Exception         the member failed unexpectedly
 *   0x80040200 NoConnection      no connection with that cookie (velka_unadvise)
 *   0x80040201 AdviseLimit       more than 16 connections
 *   0x80040154 ClassNotRegistered, 0x8007007E ModuleNotFound   velka_create
 *   0x8007000E OutOfMemory, 0x80004005 Fail, 0x8000FFFF Unexpected
 *
 * THREADS. An object belongs to the thread that created it: every call on it, and every
 * event it raises, happens on that thread. A call on it from another thread is refused with
 * WrongThread and changes nothing. velka_add_ref and velka_release may come from any thread
 * but never at the same time as a call on the object's thread; the last release frees the
 * control, which is best done on its own thread. The string functions may be used from any
 * thread; velka_last_error is per thread.
 *
 * THE EVENT LOOP. The control's timers and its serial port's receive event run on an event
 * loop that belongs to the object. It turns by itself only while a call waits for the
 * register (in synchronous mode every call does). In asynchronous mode (AsyncMode True) the
 * receipt methods, DirectIO and DirectIO2 only queue their commands, and the queue moves, and
 * its OutputCompleteEvent, ErrorEvent and StatusUpdateEvent come, only while the host turns
 * the loop, in one of two ways:
 *   - a host without a loop of its own calls velka_process_events(object, ms) repeatedly;
 *   - a host with a loop (asyncio, a toolkit) watches the descriptor of velka_event_handle and
 *     calls velka_process_events(object, 0) whenever it is readable; the descriptor also
 *     becomes readable when a timer of the control is due. velka_next_timer_ms tells how long
 *     the host may sleep without looking, for a loop that prefers its own timers.
 *
 * STRINGS. Strings are UTF-16 (VelkaString), made by the library (velka_string_new,
 * velka_string_from_utf8) and freed by velka_string_free; NULL is the empty string. The
 * library knows the strings it made by their address and reads nothing through any other
 * pointer (a buffer of the caller's, a pointer into a library string, a string already
 * freed): as an argument such a pointer is refused with TypeMismatch and a velka_last_error()
 * naming the argument; velka_string_length gives 0 for it; velka_string_free and
 * velka_variant_clear leave it alone. (A freed string's address may be given to a later
 * string, which then answers for it: free each string once.)
 *   - a String argument by value is only read; the caller keeps it and frees it;
 *   - a String argument by reference (VELKA_VT_STRING | VELKA_VT_BYREF) points to the
 *     caller's VelkaString variable; when the member writes it back, the library frees the
 *     old string and stores a new one there. Either way the caller frees what the variable
 *     holds afterwards;
 *   - a String result is the caller's, to free with velka_variant_clear;
 *   - a String argument of an event belongs to the library (see VelkaEventCallback).
 *
 * ARGUMENTS are in declaration order (args[0] is the first parameter); trailing optional ones
 * may be left out, and VELKA_VT_EMPTY stands for a left-out optional argument. At most 64
 * arguments; an array of Long holds at most 1048576 values. */
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
/* What a host's loop waits on: a file descriptor on POSIX systems, a HANDLE on Windows. */
typedef intptr_t VelkaWaitHandle;

enum {
  VELKA_VT_EMPTY = 0,
  VELKA_VT_INTEGER = 2,
  VELKA_VT_LONG = 3,
  VELKA_VT_CURRENCY = 6, /* 64-bit count of ten-thousandths: 1.50 is 15000 */
  VELKA_VT_STRING = 8,
  VELKA_VT_BOOLEAN = 11, /* 16-bit, True = -1 (any non-zero is True) */
  VELKA_VT_LONG_ARRAY = 0x2003,
  VELKA_VT_BYREF = 0x4000
};

enum { VELKA_INVOKE_METHOD = 1, VELKA_INVOKE_PROPERTYGET = 2, VELKA_INVOKE_PROPERTYPUT = 4 };

/* The event identifiers (the event_id of VelkaEventCallback). */
enum {
  VELKA_EVENT_DATA = 1,            /* DataEvent(Status) */
  VELKA_EVENT_STATUS_UPDATE = 2,   /* StatusUpdateEvent(Status) */
  VELKA_EVENT_ERROR = 3,           /* ErrorEvent(ResultCode, ResultCodeExtended, ErrorLocus,
                                      pErrorResponse by reference) */
  VELKA_EVENT_OUTPUT_COMPLETE = 4, /* OutputCompleteEvent(OutputID) */
  VELKA_EVENT_DIRECT_IO = 5,       /* DirectIOEvent(Command, pData by reference,
                                      pString by reference) */
  VELKA_EVENT_RECEIVE_DATA = 6     /* ReceiveDataEvent(pString) */
};

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

/* A control instance as the C surface holds it; opaque. */
typedef struct VelkaObject VelkaObject;

/* An event, on the object's thread, while the control's code waits for the callback to
 * return: its identifier (VELKA_EVENT_...) and its arguments in declaration order, count of
 * them. context is what velka_advise was given. By-value strings belong to the library and
 * are freed when the callback returns (copy what you keep). A by-reference Long may be
 * written; a by-reference String may be replaced (free the old one with velka_string_free,
 * store one from velka_string_new); the control reads them back. The callback may call the
 * object again, turn its loop, and release it. */
typedef void (*VelkaEventCallback)(void* context, int32_t event_id, VelkaVariant* args,
                                   int32_t count);

/* Creates an instance of a registered class (for the control: "TMVVelka.TmvEcrVelka") with
 * an event loop of its own, on the calling thread, which the object then belongs to.
 *   prog_id  the programmatic identifier, UTF-8; read only.
 *   object   receives the instance, holding one reference; NULL on failure.
 * ClassNotRegistered when nobody registered the class (DllRegisterServer), ModuleNotFound
 * when its registered library is gone. */
VELKA_EXPORT VelkaStatus velka_create(const char* prog_id, VelkaObject** object);

/* Adds a reference; returns the new count (0 for NULL). */
VELKA_EXPORT uint32_t velka_add_ref(VelkaObject* object);

/* Drops a reference and returns the count left. The last one disconnects the callbacks and
 * frees the control, closing its port and trace file if they are still open. Released
 * inside a callback or during a call, the object goes when that returns. NULL gives 0; an
 * object already freed by its last release must not be passed. */
VELKA_EXPORT uint32_t velka_release(VelkaObject* object);

/* The dispatch identifier of a member.
 *   name    the member's name, UTF-8, letter case not significant, at most 256 bytes.
 *   dispid  receives the identifier (-1 when unknown).
 * UnknownName when no member is so named. */
VELKA_EXPORT VelkaStatus velka_get_id(VelkaObject* object, const char* name, int32_t* dispid);

/* Calls a member.
 *   dispid  its identifier (velka_get_id, or the fixed numbers of docs/CONTROL.md).
 *   kind    VELKA_INVOKE_METHOD, _PROPERTYGET or _PROPERTYPUT (a put takes one argument, the
 *           new value); METHOD | PROPERTYGET calls either.
 *   args    count arguments in declaration order (NULL when count is 0); by-reference ones
 *           are written back when the member writes them, and only when the call succeeds.
 *   result  may be NULL; receives the member's result (a method's Long result code, or the
 *           property's value). A String result is the caller's (velka_variant_clear).
 * A refused call changes nothing and leaves result empty. */
VELKA_EXPORT VelkaStatus velka_invoke(VelkaObject* object, int32_t dispid, uint16_t kind,
                                      VelkaVariant* args, int32_t count, VelkaVariant* result);

/* velka_get_id, then velka_invoke. */
VELKA_EXPORT VelkaStatus velka_invoke_by_name(VelkaObject* object, const char* name, uint16_t kind,
                                              VelkaVariant* args, int32_t count,
                                              VelkaVariant* result);

/* Connects a callback to the object's events.
 *   callback  called for every event until velka_unadvise or the last release.
 *   context   handed to the callback as it is; the library never looks at it.
 *   cookie    receives the connection's number, for velka_unadvise.
 * At most 16 connections (AdviseLimit). */
VELKA_EXPORT VelkaStatus velka_advise(VelkaObject* object, VelkaEventCallback callback,
                                      void* context, uint32_t* cookie);

/* Disconnects a callback; NoConnection when no connection has that cookie. */
VELKA_EXPORT VelkaStatus velka_unadvise(VelkaObject* object, uint32_t cookie);

/* Turns the object's event loop once: sleeps in the kernel until the port has bytes, a timer
 * of the control is due, or max_wait_ms milliseconds have passed, whichever comes first,
 * then runs what is due (sending the next queued command, judging an answer, raising events)
 * and returns. 0 does not sleep: it runs only what is due already.
 *   max_wait_ms  0 to 2147483647; a negative wait is refused (InvalidArgument): every wait
 *                has a bound.
 * Returns 0 whether or not anything was due. May be called from inside a callback. */
VELKA_EXPORT VelkaStatus velka_process_events(VelkaObject* object, int32_t max_wait_ms);

/* What a host's own loop waits on for the object.
 *   handle  receives a file descriptor (POSIX) that is readable while the control has work:
 *           bytes from the register or a timer due. On readable, call
 *           velka_process_events(object, 0). The descriptor belongs to the object: the host
 *           never reads it nor closes it, and stops watching it before the last release. It
 *           stays the same for the object's life.
 * Fail when the system has no descriptor to spare. */
VELKA_EXPORT VelkaStatus velka_event_handle(VelkaObject* object, VelkaWaitHandle* handle);

/* How long the host may sleep before the control's next timer is due.
 *   wait_ms  receives the milliseconds until then: 0 when one is due now, -1 when no timer
 *            runs (then only the register's bytes, or a call, give the control work). */
VELKA_EXPORT VelkaStatus velka_next_timer_ms(VelkaObject* object, int32_t* wait_ms);

/* The text of the last refusal on this thread ("" when the last call succeeded), English,
 * UTF-8; the library's, valid until the next call on this thread. */
VELKA_EXPORT const char* velka_last_error(void);

/* A new library string holding a copy of length UTF-16 units of text (NUL-terminated after
 * them; units may include NULs); text may be NULL when length is 0. NULL when length is
 * negative or above 16777216, or memory runs out. The caller frees it. */
VELKA_EXPORT VelkaString velka_string_new(const VelkaChar* text, int32_t length);
/* A new library string from NUL-terminated UTF-8 (NULL gives the empty string); NULL when
 * memory runs out. The caller frees it. */
VELKA_EXPORT VelkaString velka_string_from_utf8(const char* text);
/* The number of UTF-16 units of a library string (the closing NUL not counted); 0 for NULL
 * and for a pointer the library did not make. */
VELKA_EXPORT int32_t velka_string_length(VelkaString text);
/* Frees a library string; NULL and pointers the library did not make are left alone. */
VELKA_EXPORT void velka_string_free(VelkaString text);
/* Frees what a variant owns (a String made by the library, not a by-reference one) and leaves
 * it VELKA_VT_EMPTY. NULL is left alone. */
VELKA_EXPORT void velka_variant_clear(VelkaVariant* variant);

/* Registration of the library that holds these functions, under
 * $XDG_DATA_HOME/TMV SPA/classes/ (default ~/.local/share), or, with the environment variable
 * VELKA_REGISTER_SYSTEM set, for the machine under the first folder of $XDG_DATA_DIRS:
 * velka_create finds the class by it, the user's registration first. Statuses as above;
 * DllCanUnloadNow returns 0 when no object of the library is alive, 1 otherwise. */
VELKA_EXPORT VelkaStatus DllRegisterServer(void);
VELKA_EXPORT VelkaStatus DllUnregisterServer(void);
VELKA_EXPORT VelkaStatus DllCanUnloadNow(void);

#ifdef __cplusplus
}
#endif

#endif /* VELKA_C_SURFACE_H */
