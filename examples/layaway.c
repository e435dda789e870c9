/* A layaway's life through the C interface: captured, reserved, billed and
   cancelled, by the early-bound functions or by dispatch ids alone.
   Usage: layaway DATABASE early|late   (a database with the demo shop:
   `apartado --db shop.db demo` makes one) */
#include <apartado/apartado_c.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char* const kHeader =
    "{\"Sucursal\": {\"Sc_Cve_Sucursal\": \"01\"}, \"Almacen\": {\"Al_Cve_Almacen\": \"01\"},"
    " \"Cliente\": {\"Cl_Cve_Cliente\": \"C001\"}, \"Vendedor\": {\"Vn_Cve_Vendedor\": \"V01\"},"
    " \"Mn_Cve_Moneda\": \"MXN\", \"Ap_Tipo_Cambio\": 1, \"Ap_Condicion_Venta\": \"AP30\"}";
static const char* const kLine =
    "{\"Producto\": {\"Pr_Cve_Producto\": \"P100\"}, \"Ap_Cantidad_1\": 2, \"Ap_Unidad_1\": \"PZA\","
    " \"Ap_Cantidad_Control_2\": 2, \"Ap_Precio_Lista\": 899}";

static apartado_object* layaway;

/* A call that failed ends the program with the library's text. */
static void must(apartado_status status, const char* call) {
  if (status == APARTADO_OK) return;
  fprintf(stderr, "%s: status %d: %s\n", call, (int)status, apartado_last_failure());
  exit(1);
}
#define MUST(call) must((call), #call)

/* An operation that answered False ends the program with the object's Error. */
static void step(const char* what, apartado_boolean answer) {
  printf("%-32s %s\n", what, answer == APARTADO_TRUE ? "True" : "False");
  if (answer == APARTADO_TRUE) return;
  char* error = NULL;
  MUST(apartado_get_Error(layaway, &error));
  fprintf(stderr, "%s\n", error);
  apartado_free(error);
  exit(1);
}

/* The folio from a header's JSON, which starts {"Ap_Folio":"0000000001",... */
static void folio_of(const char* header, char folio[32]) {
  folio[0] = '\0';
  sscanf(header, "{\"Ap_Folio\":\"%31[^\"]", folio);
}

static void early_bound(void) {
  apartado_boolean answer;
  char folio[32];
  char* header = NULL;
  char* messages = NULL;

  /* The capture as one transaction: a refused line would leave nothing. */
  MUST(apartado_begin(layaway, APARTADO_ROLL_BACK_ON_REFUSAL));
  MUST(apartado_Nuevo(layaway));
  MUST(apartado_let_Encabezado(layaway, kHeader));
  MUST(apartado_let_Apartar_Productos(layaway, APARTADO_FALSE)); /* reserved below, by Apartar */
  MUST(apartado_let_Detalle(layaway, kLine));
  MUST(apartado_take_messages(layaway, &messages));
  if (strcmp(messages, "[]") != 0) {
    fprintf(stderr, "Detalle refused the line: %s\n", messages);
    exit(1);
  }
  apartado_free(messages);
  MUST(apartado_Add_Apartado_Detalle(layaway, &answer));
  step("Add_Apartado_Detalle", answer);
  MUST(apartado_finish(layaway, answer));
  MUST(apartado_get_Encabezado(layaway, &header));
  folio_of(header, folio);
  apartado_free(header);
  printf("%-32s %s\n", "folio", folio);

  MUST(apartado_Apartar(layaway, folio, &answer));
  step("Apartar", answer);
  MUST(apartado_Genera_Cuenta_x_Cobrar_Apartado(layaway, folio, &answer));
  step("Genera_Cuenta_x_Cobrar_Apartado", answer);
  /* Cancelling releases the stock and cancels the receivable while Apartar_Productos is True. */
  MUST(apartado_let_Apartar_Productos(layaway, APARTADO_TRUE));
  MUST(apartado_Cancelar_Apartado(layaway, folio, &answer));
  step("Cancelar_Apartado", answer);
}

/* Calls a member by the id its name is given under, as a late-bound host
   does; answers its result. */
static apartado_variant call(const char* name, uint16_t flags, apartado_variant* args, size_t count) {
  int32_t id;
  apartado_variant result;
  MUST(apartado_get_dispatch_id(name, &id));
  MUST(apartado_invoke(layaway, id, flags, args, count, &result));
  return result;
}

static void late_bound(void) {
  const uint16_t method = APARTADO_DISPATCH_METHOD, get = APARTADO_DISPATCH_PROPERTYGET,
                 put = APARTADO_DISPATCH_PROPERTYPUT;
  apartado_variant header = {APARTADO_VT_RECORD, {.text = kHeader}};
  apartado_variant line = {APARTADO_VT_RECORD, {.text = kLine}};
  apartado_variant no = {APARTADO_VT_BOOL, {.boolean = APARTADO_FALSE}};
  apartado_variant yes = {APARTADO_VT_BOOL, {.boolean = APARTADO_TRUE}};
  char folio[32];

  MUST(apartado_begin(layaway, APARTADO_ROLL_BACK_ON_REFUSAL));
  call("Nuevo", method, NULL, 0);
  call("Encabezado", put, &header, 1);
  call("Apartar_Productos", put, &no, 1);
  call("Detalle", put, &line, 1);
  apartado_variant added = call("Add_Apartado_Detalle", method, NULL, 0);
  step("Add_Apartado_Detalle", added.value.boolean);
  MUST(apartado_finish(layaway, added.value.boolean));
  apartado_variant stored = call("Encabezado", get, NULL, 0);
  folio_of(stored.value.text, folio);
  apartado_free(stored.value.text);
  printf("%-32s %s\n", "folio", folio);

  apartado_variant by_folio = {APARTADO_VT_TEXT, {.text = folio}};
  step("Apartar", call("Apartar", method, &by_folio, 1).value.boolean);
  step("Genera_Cuenta_x_Cobrar_Apartado", call("Genera_Cuenta_x_Cobrar_Apartado", method, &by_folio, 1).value.boolean);
  call("Apartar_Productos", put, &yes, 1);
  step("Cancelar_Apartado", call("Cancelar_Apartado", method, &by_folio, 1).value.boolean);
}

int main(int argc, char** argv) {
  if (argc != 3 || (strcmp(argv[2], "early") != 0 && strcmp(argv[2], "late") != 0)) {
    fprintf(stderr, "usage: %s DATABASE early|late\n", argv[0]);
    return 2;
  }
  apartado_suite* suite;
  MUST(apartado_suite_install(argv[1], "ADMIN", "", 0, &suite));
  MUST(apartado_create(&layaway));
  /* Every operation one transaction: a refused one changes nothing. */
  MUST(apartado_set_transactions(layaway, APARTADO_ROLL_BACK_ON_REFUSAL));
  if (strcmp(argv[2], "early") == 0) {
    early_bound();
  } else {
    late_bound();
  }
  MUST(apartado_release(layaway));
  MUST(apartado_suite_close(suite));
  return 0;
}
