/* A receipt printed in asynchronous mode from C, through the control's C surface: the calls
 * only queue their commands, and the program turns the control's loop with
 * velka_process_events until StatusUpdateEvent 1001 says the queue has been worked off.
 *
 *   async_receipt [--register] PORT
 *
 * --register registers the library first (DllRegisterServer), so that velka_create finds it.
 * Build: cc -I <repository> async_receipt.c -L <build>/control -lTMVVelka */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "automation/c_surface.h"

enum { STATUS_QUEUE_DRAINED = 1001, LIMIT_SECONDS = 60 };

struct Progress {
  int completed;
  int errors;
  int drained;
};

static void on_event(void* context, int32_t event_id, VelkaVariant* args, int32_t count) {
  struct Progress* progress = context;
  int32_t first = count > 0 ? args[0].value.long_value : 0;
  switch (event_id) {
    case VELKA_EVENT_OUTPUT_COMPLETE:
      printf("OutputCompleteEvent %d\n", (int)first);
      ++progress->completed;
      break;
    case VELKA_EVENT_ERROR:
      printf("ErrorEvent %d %d\n", (int)first, (int)args[1].value.long_value);
      ++progress->errors;
      break;
    case VELKA_EVENT_STATUS_UPDATE:
      printf("StatusUpdateEvent %d\n", (int)first);
      if (first == STATUS_QUEUE_DRAINED) progress->drained = 1;
      break;
    default:
      break;
  }
}

/* Calls a member; its result code, or -1 when the C surface refused the call. */
static int32_t call(VelkaObject* control, const char* name, uint16_t kind, VelkaVariant* args,
                    int32_t count) {
  VelkaVariant result = {0};
  if (velka_invoke_by_name(control, name, kind, args, count, &result) != 0) {
    fprintf(stderr, "%s: %s\n", name, velka_last_error());
    return -1;
  }
  return result.value.long_value;
}

static int32_t method(VelkaObject* control, const char* name, VelkaVariant* args, int32_t count) {
  int32_t code = call(control, name, VELKA_INVOKE_METHOD, args, count);
  if (code != 0) fprintf(stderr, "%s returned %d\n", name, (int)code);
  return code;
}

static VelkaVariant text(VelkaString s) {
  VelkaVariant v = {.type = VELKA_VT_STRING};
  v.value.string_value = s;
  return v;
}

static VelkaVariant money(int64_t ten_thousandths) {
  VelkaVariant v = {.type = VELKA_VT_CURRENCY};
  v.value.currency_value = ten_thousandths;
  return v;
}

static int32_t sell(VelkaObject* control, const char* description, int64_t price) {
  VelkaString s = velka_string_from_utf8(description);
  VelkaVariant args[2] = {text(s), money(price)};
  int32_t code = method(control, "PrintRecItem", args, 2);
  velka_string_free(s);
  return code;
}

static int32_t pay(VelkaObject* control, int64_t total, int64_t payment) {
  VelkaString cash = velka_string_from_utf8("1");
  VelkaVariant args[3] = {money(total), money(payment), text(cash)};
  int32_t code = method(control, "PrintRecTotal", args, 3);
  velka_string_free(cash);
  return code;
}

static void put_boolean(VelkaObject* control, const char* name, int value) {
  VelkaVariant v = {.type = VELKA_VT_BOOLEAN};
  v.value.boolean_value = value ? -1 : 0;
  call(control, name, VELKA_INVOKE_PROPERTYPUT, &v, 1);
}

/* Queues the receipt; 0 when every call was accepted. */
static int queue_receipt(VelkaObject* control) {
  VelkaVariant header = {.type = VELKA_VT_BOOLEAN};
  header.value.boolean_value = -1;
  if (method(control, "BeginFiscalReceipt", &header, 1) != 0) return -1;
  if (sell(control, "CAFFE", 15000) != 0) return -1; /* 1.50 */
  if (sell(control, "BRIOCHE", 12000) != 0) return -1;
  if (pay(control, 27000, 50000) != 0) return -1; /* the payment and a status request */
  header.value.boolean_value = 0;
  return method(control, "EndFiscalReceipt", &header, 1) == 0 ? 0 : -1;
}

/* Turns the loop until the queue has drained, an error came, or the limit has passed. */
static void turn_loop(VelkaObject* control, struct Progress* progress) {
  time_t until = time(NULL) + LIMIT_SECONDS;
  while (!progress->drained && progress->errors == 0 && time(NULL) < until) {
    if (velka_process_events(control, 1000) != 0) {
      fprintf(stderr, "process_events: %s\n", velka_last_error());
      return;
    }
  }
}

int main(int argc, char** argv) {
  int register_first = argc > 2 && strcmp(argv[1], "--register") == 0;
  const char* port = argc > 1 ? argv[argc - 1] : "";
  if (argc < 2 || argc > 3 || (argc == 3 && !register_first)) {
    fprintf(stderr, "usage: async_receipt [--register] PORT\n");
    return 2;
  }
  if (register_first && DllRegisterServer() != 0) {
    fprintf(stderr, "DllRegisterServer failed\n");
    return 1;
  }

  VelkaObject* control = NULL;
  if (velka_create("TMVVelka.TmvEcrVelka", &control) != 0) {
    fprintf(stderr, "create: %s\n", velka_last_error());
    return 1;
  }
  struct Progress progress = {0, 0, 0};
  uint32_t cookie = 0;
  velka_advise(control, on_event, &progress, &cookie);

  VelkaString port_text = velka_string_from_utf8(port);
  VelkaVariant open_args[1] = {text(port_text)};
  int32_t code = method(control, "TMVOpen", open_args, 1);
  velka_string_free(port_text);
  if (code == 0) {
    put_boolean(control, "AsyncMode", 1); /* after TMVOpen, which sets it False */
    if (queue_receipt(control) == 0) {
      printf("%d commands queued\n",
             (int)call(control, "OutputID", VELKA_INVOKE_PROPERTYGET, NULL, 0));
      turn_loop(control, &progress);
    }
    method(control, "TMVClose", NULL, 0);
  }
  velka_release(control);

  int ok = code == 0 && progress.drained && progress.errors == 0;
  printf(ok ? "receipt printed, %d commands completed\n" : "receipt not printed (%d completed)\n",
         progress.completed);
  return ok ? 0 : 1;
}
