/* The C interface from C: every misuse answers a status and a text that says
   what is wrong, never a crash; every member of the type library is reached
   by its dispatch id and answers in its own type. Usage: apartado_c_tests DB */
#include <stdio.h>
#include <string.h>
#include <threads.h>

#include "apartado/apartado_c.h"

static int failures = 0;

#define CHECK(condition)                                                        \
  do {                                                                          \
    if (!(condition)) {                                                         \
      fprintf(stderr, "%s:%d: not true: %s\n", __FILE__, __LINE__, #condition); \
      ++failures;                                                               \
    }                                                                           \
  } while (0)

/* A call must answer status, and its failure text must hold part. */
#define CHECK_REFUSED(call, status, part)                                                                              \
  do {                                                                                                                 \
    apartado_status answered_ = (call);                                                                                \
    const char* text_ = apartado_last_failure();                                                                       \
    if (answered_ != (status) || strstr(text_, (part)) == NULL) {                                                      \
      fprintf(stderr, "%s:%d: %s answered %d \"%s\", not %d with \"%s\"\n", __FILE__, __LINE__, #call, (int)answered_, \
              text_, (int)(status), (part));                                                                           \
      ++failures;                                                                                                      \
    }                                                                                                                  \
  } while (0)

static apartado_variant Text(const char* text) {
  apartado_variant v = {APARTADO_VT_TEXT, {.text = text}};
  return v;
}
static apartado_variant Number(double number) {
  apartado_variant v = {APARTADO_VT_R8, {.r8 = number}};
  return v;
}
static apartado_variant Record(const char* json) {
  apartado_variant v = {APARTADO_VT_RECORD, {.text = json}};
  return v;
}
static apartado_variant Bool(apartado_boolean b) {
  apartado_variant v = {APARTADO_VT_BOOL, {.boolean = b}};
  return v;
}

static void Clear(apartado_variant* v) {
  if (v->type == APARTADO_VT_TEXT || v->type == APARTADO_VT_RECORD) apartado_free(v->value.text);
  v->type = APARTADO_VT_EMPTY;
}

/* Every member by its id, each with arguments of its own kinds: the answer
   comes back in the member's type. */
static void EveryMemberByDispatchId(apartado_object* object) {
  CHECK(apartado_member_count() == 15);
  for (size_t i = 0; i < apartado_member_count(); ++i) {
    const char* name = NULL;
    const char* kind = NULL;
    int32_t id = 0;
    CHECK(apartado_member(i, &name, &kind, &id) == APARTADO_OK);
    int32_t looked_up = 0;
    CHECK(apartado_get_dispatch_id(name, &looked_up) == APARTADO_OK && looked_up == id);

    apartado_variant args[8];
    size_t count = 0;
    uint16_t flags = APARTADO_DISPATCH_METHOD;
    int32_t expected = APARTADO_VT_BOOL;
    if (strcmp(kind, "property let") == 0) {
      flags = APARTADO_DISPATCH_PROPERTYPUT;
      expected = APARTADO_VT_EMPTY;
      args[count++] = strcmp(name, "Apartar_Productos") == 0 ? Bool(APARTADO_FALSE) : Record("{}");
    } else if (strcmp(kind, "property get") == 0) {
      flags = APARTADO_DISPATCH_PROPERTYGET;
      expected = strcmp(name, "Error") == 0               ? APARTADO_VT_TEXT
                 : strcmp(name, "Apartar_Productos") == 0 ? APARTADO_VT_BOOL
                                                          : APARTADO_VT_RECORD;
    } else if (strcmp(kind, "sub") == 0) {
      expected = APARTADO_VT_EMPTY;
    } else if (strcmp(name, "Desapartar_Producto") == 0) {
      const char* keys[] = {"01", "01", "NO-SUCH", "00", "00"};
      for (int k = 0; k < 5; ++k) args[count++] = Text(keys[k]);
      args[count++] = Number(1);
      args[count++] = Number(1);
    } else if (strcmp(name, "Add_Apartado_Detalle") != 0) {
      args[count++] = Text("NO-SUCH-FOLIO");
    }
    apartado_variant result = {APARTADO_VT_NULL, {.i4 = 0}};
    apartado_status status = apartado_invoke(object, id, flags, args, count, &result);
    if (status != APARTADO_OK || result.type != expected) {
      fprintf(stderr, "%s (%s) answered %d type %d: %s\n", name, kind, (int)status, (int)result.type,
              apartado_last_failure());
      ++failures;
    }
    Clear(&result);
  }
}

static void LateBindingMisuse(apartado_object* object) {
  int32_t id = 0;
  CHECK(apartado_get_dispatch_id("aPARTAR", &id) == APARTADO_OK && id == 0x6003000C);
  CHECK_REFUSED(apartado_get_dispatch_id("Apartarr", &id), APARTADO_UNKNOWN_MEMBER, "no member is named");
  apartado_variant folio = Text("F1");
  apartado_variant result;
  CHECK_REFUSED(apartado_invoke(object, 0x6003FFFF, APARTADO_DISPATCH_METHOD, &folio, 1, &result),
                APARTADO_UNKNOWN_MEMBER, "no member has the dispatch id 0x6003FFFF");
  CHECK_REFUSED(apartado_invoke(object, 0x60030007, APARTADO_DISPATCH_PROPERTYPUT, &folio, 1, &result),
                APARTADO_UNKNOWN_MEMBER, "Nuevo");
  CHECK_REFUSED(apartado_invoke(object, 0x6003000C, APARTADO_DISPATCH_METHOD, NULL, 0, &result), APARTADO_BAD_ARGUMENT,
                "Apartar takes 1 argument, not 0");
  apartado_variant three[3] = {Text("01"), Text("01"), Text("P1")};
  CHECK_REFUSED(apartado_invoke(object, 0x60030004, APARTADO_DISPATCH_METHOD, three, 3, &result), APARTADO_BAD_ARGUMENT,
                "takes 7 or 8 arguments, not 3");

  apartado_variant record = Record("{}");
  CHECK_REFUSED(apartado_invoke(object, 0x6003000C, APARTADO_DISPATCH_METHOD, &record, 1, &result),
                APARTADO_BAD_ARGUMENT, "argument 1 (Ap_Folio): Type mismatch");
  apartado_variant release[7] = {Text("01"), Text("01"), Text("P1"), Text("00"), Text("00"), Text("many"), Number(1)};
  CHECK_REFUSED(apartado_invoke(object, 0x60030004, APARTADO_DISPATCH_METHOD, release, 7, &result),
                APARTADO_BAD_ARGUMENT, "argument 6 (Cantidad_Control_1): Type mismatch");
  release[5].type = APARTADO_VT_NULL;
  CHECK_REFUSED(apartado_invoke(object, 0x60030004, APARTADO_DISPATCH_METHOD, release, 7, &result),
                APARTADO_BAD_ARGUMENT, "Invalid use of Null");
  apartado_variant strange = {99, {.i4 = 0}};
  CHECK_REFUSED(apartado_invoke(object, 0x6003000C, APARTADO_DISPATCH_METHOD, &strange, 1, &result),
                APARTADO_BAD_ARGUMENT, "unknown variant type 99");
  apartado_variant text_for_record = Text("{}");
  CHECK_REFUSED(apartado_invoke(object, 0x68030000, APARTADO_DISPATCH_PROPERTYPUT, &text_for_record, 1, &result),
                APARTADO_BAD_ARGUMENT, "a record is passed as APARTADO_VT_RECORD");

  /* Record JSON the host would refuse is refused the same way, by id and by function. */
  apartado_variant unknown = Record("{\"Producto\": {\"Pr_Cve_Producto\": \"P1\", \"Pr_Color\": \"red\"}}");
  CHECK_REFUSED(apartado_invoke(object, 0x68030000, APARTADO_DISPATCH_PROPERTYPUT, &unknown, 1, &result),
                APARTADO_BAD_ARGUMENT, "unknown field \"Producto.Pr_Color\"");
  CHECK_REFUSED(apartado_let_Detalle(object, "{\"Ap_Cantidad_1\": \"two\"}"), APARTADO_BAD_ARGUMENT,
                "apartado_let_Detalle: field \"Ap_Cantidad_1\" must be a number, not text \"two\"");
  CHECK_REFUSED(apartado_let_Encabezado(object, "{\"Sucursal\": "), APARTADO_BAD_ARGUMENT,
                "Encabezado: malformed JSON");
}

static apartado_object* shared_object;
static apartado_status from_other_thread;
static char other_thread_text[512];

static int UseFromAnotherThread(void* unused) {
  (void)unused;
  apartado_boolean answer = 0;
  from_other_thread = apartado_Apartar(shared_object, "F1", &answer);
  snprintf(other_thread_text, sizeof other_thread_text, "%s", apartado_last_failure());
  return 0;
}

static void HandlesAndThreads(void) {
  apartado_object* object = NULL;
  CHECK(apartado_create(&object) == APARTADO_OK);

  shared_object = object;
  thrd_t thread;
  CHECK(thrd_create(&thread, UseFromAnotherThread, NULL) == thrd_success);
  thrd_join(thread, NULL);
  CHECK(from_other_thread == APARTADO_WRONG_THREAD);
  CHECK(strstr(other_thread_text, "apartado_Apartar: the object belongs to another thread") != NULL);

  char* error = NULL;
  CHECK(apartado_get_Error(object, &error) == APARTADO_OK && error != NULL);
  apartado_free(error);
  CHECK_REFUSED(apartado_get_Error(object, NULL), APARTADO_BAD_ARGUMENT, "text is a null pointer");
  CHECK(apartado_release(object) == APARTADO_OK);
  CHECK_REFUSED(apartado_get_Error(object, &error), APARTADO_BAD_HANDLE, "the handle was released");
  CHECK_REFUSED(apartado_release(object), APARTADO_BAD_HANDLE, "apartado_release: not a live object");
  CHECK_REFUSED(apartado_Nuevo(NULL), APARTADO_BAD_HANDLE, "null");
}

/* Scopes end innermost first, on their own object; a released object's open
   scope is rolled back with it. */
static void ScopeMisuse(void) {
  apartado_object* first = NULL;
  apartado_object* second = NULL;
  CHECK(apartado_create(&first) == APARTADO_OK && apartado_create(&second) == APARTADO_OK);
  CHECK_REFUSED(apartado_finish(first, APARTADO_TRUE), APARTADO_BAD_STATE, "no scope is open");
  CHECK_REFUSED(apartado_begin(first, APARTADO_NO_TRANSACTIONS), APARTADO_BAD_ARGUMENT, "a scope takes");
  CHECK_REFUSED(apartado_set_transactions(first, 7), APARTADO_BAD_ARGUMENT, "not 7");
  CHECK(apartado_begin(first, APARTADO_ROLL_BACK_ON_REFUSAL) == APARTADO_OK);
  CHECK(apartado_begin(second, APARTADO_ROLL_BACK_ON_REFUSAL) == APARTADO_OK);
  CHECK_REFUSED(apartado_finish(first, APARTADO_TRUE), APARTADO_BAD_STATE, "scopes end innermost first");
  CHECK_REFUSED(apartado_release(first), APARTADO_BAD_STATE, "end it first");
  CHECK(apartado_release(second) == APARTADO_OK);
  CHECK(apartado_finish(first, APARTADO_TRUE) == APARTADO_OK);
  CHECK(apartado_begin(first, APARTADO_COMMIT_ON_REFUSAL) == APARTADO_OK);
  CHECK(apartado_release(first) == APARTADO_OK);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s DATABASE\n", argv[0]);
    return 2;
  }
  remove(argv[1]);
  apartado_object* object = NULL;
  CHECK_REFUSED(apartado_create(&object), APARTADO_BAD_STATE, "no suite is installed");
  apartado_suite* suite = NULL;
  CHECK_REFUSED(apartado_suite_install("postgresql://nobody@127.0.0.1:1/none", NULL, NULL, 0, &suite), APARTADO_FAILED,
                "127.0.0.1");
  CHECK(apartado_suite_install(argv[1], "OPER1", "S1", 0, &suite) == APARTADO_OK);
  apartado_suite* second = NULL;
  CHECK_REFUSED(apartado_suite_install(argv[1], NULL, NULL, 0, &second), APARTADO_BAD_STATE, "installed already");
  CHECK(apartado_suite_create_schema(suite) == APARTADO_OK);

  HandlesAndThreads();
  ScopeMisuse();
  CHECK(apartado_create(&object) == APARTADO_OK);
  EveryMemberByDispatchId(object);
  LateBindingMisuse(object);
  CHECK(apartado_release(object) == APARTADO_OK);

  CHECK(apartado_suite_close(suite) == APARTADO_OK);
  CHECK_REFUSED(apartado_suite_close(suite), APARTADO_BAD_HANDLE, "not the installed suite");
  CHECK(strcmp(apartado_last_failure(),
               "apartado_suite_close: not the installed suite: the handle was closed or never made") == 0);
  if (failures) fprintf(stderr, "%d checks failed\n", failures);
  return failures ? 1 : 0;
}
