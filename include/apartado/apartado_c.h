/*
 * The layaway component for hosts in any language: a C11 interface to the
 * Apartado object (library apartado_c, pkg-config apartado_c, CMake target
 * apartado::c).
 *
 * Early binding: one function per member of the interface _Apartado, named
 * after it (apartado_Apartar, apartado_get_Encabezado, apartado_let_Detalle,
 * ...). Late binding: apartado_get_dispatch_id and apartado_invoke call any
 * member by its dispatch id with variant arguments, exactly as the published
 * type library lists them (apartado_member).
 *
 * Records cross as JSON text in the shape the command-line host reads and
 * writes for `capture`: field names as in tApEncabezado and tApDetalle,
 * nested records as nested objects, dates as ISO 8601 text
 * ("2026-03-10T15:30:00"). An unknown field or a value of the wrong type is
 * refused, naming the field.
 *
 * Statuses. Every function but apartado_free, apartado_last_failure and
 * apartado_member_count answers an apartado_status; nothing is ever thrown
 * across this interface. An operation that answers False is not a failure:
 * its call answers APARTADO_OK with the answer False, and the object's Error
 * says why. Any other status leaves its text for apartado_last_failure.
 *
 * Threads. The component keeps its module state per thread: an object is
 * used only on the thread that created it, and so are the scopes opened on
 * it. A call on an object from another thread answers APARTADO_WRONG_THREAD
 * and changes nothing. The installed suite is the process's: it may be
 * installed and closed from any thread.
 *
 * Strings. Every string handed out through a char** argument or in a result
 * variant (APARTADO_VT_TEXT, APARTADO_VT_RECORD) is the caller's once the
 * call returns: give it back with apartado_free. Strings passed in are only
 * read during the call. Names and kinds from apartado_member live as long as
 * the library; the text of apartado_last_failure lives until the thread's
 * next call into the library.
 */
#ifndef APARTADO_APARTADO_C_H
#define APARTADO_APARTADO_C_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define APARTADO_C_EXPORT __attribute__((visibility("default")))
#else
#define APARTADO_C_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum apartado_status {
  APARTADO_OK = 0,
  /* The component, a suite service or the database failed (creating an
     object, Nuevo, assigning Encabezado, a transaction whose statement
     failed): the text is theirs, unchanged. */
  APARTADO_FAILED = 1,
  /* Another session's work spoiled the transaction; it was rolled back and
     the object put back as before it: run it again from its start. */
  APARTADO_CONFLICT = 2,
  /* A null, released or never made handle. */
  APARTADO_BAD_HANDLE = 3,
  /* The object belongs to another thread. */
  APARTADO_WRONG_THREAD = 4,
  /* A null pointer, a wrong argument count or type, record JSON that is
     malformed or names an unknown field. */
  APARTADO_BAD_ARGUMENT = 5,
  /* No member has that name or dispatch id, or not for those flags. */
  APARTADO_UNKNOWN_MEMBER = 6,
  /* Not now: no suite installed, one installed already, no scope open. */
  APARTADO_BAD_STATE = 7
} apartado_status;

/* The component's Boolean: -1 True, 0 False. Operations answer -1 or 0; the
   property Apartar_Productos keeps whatever 16-bit value it is given. */
typedef int16_t apartado_boolean;
#define APARTADO_TRUE ((apartado_boolean)-1)
#define APARTADO_FALSE ((apartado_boolean)0)

/* Variant types, numbered as the component model numbers them. */
typedef enum apartado_vartype {
  APARTADO_VT_EMPTY = 0,
  APARTADO_VT_NULL = 1,
  APARTADO_VT_I2 = 2,     /* value.i2 */
  APARTADO_VT_I4 = 3,     /* value.i4 */
  APARTADO_VT_R8 = 5,     /* value.r8 */
  APARTADO_VT_DATE = 7,   /* value.date: days since 1899-12-30, the time of day as the fraction */
  APARTADO_VT_TEXT = 8,   /* value.text, UTF-8 */
  APARTADO_VT_BOOL = 11,  /* value.boolean: -1 True, 0 False */
  APARTADO_VT_RECORD = 36 /* value.text: a record as JSON */
} apartado_vartype;

typedef struct apartado_variant {
  int32_t type; /* an apartado_vartype, held as an integer so that a wrong one can be refused */
  union {
    apartado_boolean boolean;
    int16_t i2;
    int32_t i4;
    double r8;
    double date;
    const char* text;
  } value;
} apartado_variant;

/* Opaque handles, never dereferenced by the caller. A released handle stays
   invalid: it is never handed out again. */
typedef struct apartado_suite apartado_suite;
typedef struct apartado_object apartado_object;

/* Frees a string the library handed out; NULL is ignored. */
APARTADO_C_EXPORT void apartado_free(const void* string);

/* Why this thread's last call answered a status other than APARTADO_OK ("" after
   APARTADO_OK). Owned by the library until the thread's next call into it. */
APARTADO_C_EXPORT const char* apartado_last_failure(void);

/* ---- The reference suite ------------------------------------------------ */

/* Installs the reference suite services over a database as the services every
   object created from then on uses: connection is a path or "sqlite:PATH",
   "postgresql://..." or "odbc:..."; operator_key the operator the session
   answers (NULL: "ADMIN"); server_id the id of the server the session runs
   on (NULL: ""); remote non-zero when the session is away from the central
   server. The database is opened once to check it. One suite at a time:
   APARTADO_BAD_STATE while another is installed. */
APARTADO_C_EXPORT apartado_status apartado_suite_install(const char* connection, const char* operator_key,
                                                         const char* server_id, int remote, apartado_suite** suite);

/* Creates the suite schema in the suite's database if it is missing (safe to
   repeat), as `apartado init` does. */
APARTADO_C_EXPORT apartado_status apartado_suite_create_schema(apartado_suite* suite);

/* Uninstalls the suite. Objects made under it keep its services until they
   are released; a thread that still holds such objects cannot create
   objects under a later suite until it has released them (its module state
   belongs to the suite it started under). */
APARTADO_C_EXPORT apartado_status apartado_suite_close(apartado_suite* suite);

/* ---- Objects ------------------------------------------------------------- */

/* Creates an Apartado object on the calling thread (the thread's first one
   runs the module start-up). APARTADO_FAILED with the component's text when
   the start-up or the construction fails; APARTADO_BAD_STATE when no suite
   is installed. */
APARTADO_C_EXPORT apartado_status apartado_create(apartado_object** object);

/* Releases the object, rolling back any scope still open on it. */
APARTADO_C_EXPORT apartado_status apartado_release(apartado_object* object);

/* The messages the component reported through the session while the object
   ran (Detalle's refusals among them), since the last take, as a JSON array
   [{"id": ..., "title": ..., "text": ...}]. Detalle's assignment reports its
   refusals only there: a line it refused is not taken, and adding it would
   add the line the object held before. */
APARTADO_C_EXPORT apartado_status apartado_take_messages(apartado_object* object, char** json);

/* ---- Transactions --------------------------------------------------------- */

typedef enum apartado_transactions {
  /* The component as it is: every statement stands alone. */
  APARTADO_NO_TRANSACTIONS = 0,
  /* One transaction; an answer of False rolls it back and puts the object
     back as it was before, but for Error. */
  APARTADO_ROLL_BACK_ON_REFUSAL = 1,
  /* One transaction; what the component did before answering False stays. */
  APARTADO_COMMIT_ON_REFUSAL = 2
} apartado_transactions;

/* How the object's operations (Add_Apartado_Detalle, Apartar, Desapartar,
   Desapartar_Producto, Cancelar_Apartado, Genera_Cuenta_x_Cobrar_Apartado,
   Finalizar_Apartado), early- or late-bound, run from now on. With a
   transaction each, the rows an operation decides on are held first and a
   conflict with another session is retried (8 attempts) before
   APARTADO_CONFLICT. Inside an open scope each is a nested one. mode is an
   apartado_transactions (taken as an int, as every enumeration passed in, so
   that a value out of range is refused, not undefined). Default:
   APARTADO_NO_TRANSACTIONS. */
APARTADO_C_EXPORT apartado_status apartado_set_transactions(apartado_object* object, int mode);

/* Opens a scope: a transaction on the object's connection, or inside an open
   one a nested transaction (a savepoint), so that a group of operations (a
   whole captured layaway) is whole or absent. on_refusal is
   APARTADO_ROLL_BACK_ON_REFUSAL or APARTADO_COMMIT_ON_REFUSAL. Scopes nest
   and end innermost first. */
APARTADO_C_EXPORT apartado_status apartado_begin(apartado_object* object, int on_refusal);

/* Ends the innermost scope by an answer: True commits, False commits or rolls
   back by its policy. APARTADO_CONFLICT: rolled back, the object put back;
   run the outermost scope again. APARTADO_FAILED: a statement failed inside,
   so everything was rolled back although the answer was True. */
APARTADO_C_EXPORT apartado_status apartado_finish(apartado_object* object, apartado_boolean answer);

/* Rolls the innermost scope back and puts the object back as it was when the
   scope opened, but for Error. */
APARTADO_C_EXPORT apartado_status apartado_rollback(apartado_object* object);

/* ---- Early binding: the members of _Apartado ---------------------------------- */

/* Series may be NULL (the optional argument left out). */
APARTADO_C_EXPORT apartado_status apartado_Desapartar_Producto(apartado_object* object, const char* Sc_Cve_Sucursal,
                                                               const char* Al_Cve_Almacen, const char* Pr_Cve_Producto,
                                                               const char* Tl_Cve_Talla, const char* Cl_Cve_Color,
                                                               double Cantidad_Control_1, double Cantidad_Control_2,
                                                               const char* Series, apartado_boolean* answer);
/* The text of the last failure, CR LF line breaks included. */
APARTADO_C_EXPORT apartado_status apartado_get_Error(apartado_object* object, char** text);
/* The current header, every field, as JSON. */
APARTADO_C_EXPORT apartado_status apartado_get_Encabezado(apartado_object* object, char** json);
/* Lays the fields given over the current header and assigns it (the host's
   `capture` does the same): `{"Sucursal": {"Sc_Cve_Sucursal": "01"}}` changes
   only the branch. APARTADO_FAILED when the component fails. */
APARTADO_C_EXPORT apartado_status apartado_let_Encabezado(apartado_object* object, const char* json);
/* The current line, as the component completed it, every field, as JSON. */
APARTADO_C_EXPORT apartado_status apartado_get_Detalle(apartado_object* object, char** json);
/* Assigns a line made of the fields given over an empty line (the host's
   `capture` does the same). Refusals go to apartado_take_messages. */
APARTADO_C_EXPORT apartado_status apartado_let_Detalle(apartado_object* object, const char* json);
/* APARTADO_FAILED when the current date cannot be had. */
APARTADO_C_EXPORT apartado_status apartado_Nuevo(apartado_object* object);
APARTADO_C_EXPORT apartado_status apartado_Add_Apartado_Detalle(apartado_object* object, apartado_boolean* answer);
APARTADO_C_EXPORT apartado_status apartado_Cancelar_Apartado(apartado_object* object, const char* Ap_Folio,
                                                             apartado_boolean* answer);
APARTADO_C_EXPORT apartado_status apartado_Genera_Cuenta_x_Cobrar_Apartado(apartado_object* object,
                                                                           const char* Ap_Folio,
                                                                           apartado_boolean* answer);
APARTADO_C_EXPORT apartado_status apartado_Apartar(apartado_object* object, const char* Ap_Folio,
                                                   apartado_boolean* answer);
/* Answers a variant that holds a Boolean (APARTADO_VT_BOOL). */
APARTADO_C_EXPORT apartado_status apartado_Desapartar(apartado_object* object, const char* Ap_Folio,
                                                      apartado_variant* answer);
APARTADO_C_EXPORT apartado_status apartado_get_Apartar_Productos(apartado_object* object, apartado_boolean* value);
APARTADO_C_EXPORT apartado_status apartado_let_Apartar_Productos(apartado_object* object, apartado_boolean value);
APARTADO_C_EXPORT apartado_status apartado_Finalizar_Apartado(apartado_object* object, const char* Ap_Folio,
                                                              apartado_boolean* answer);

/* ---- Late binding ------------------------------------------------------------ */

/* What apartado_invoke is asked to do, as the component model's flags. A
   function or sub takes METHOD, a property get PROPERTYGET (METHOD |
   PROPERTYGET takes either), a property let PROPERTYPUT. */
#define APARTADO_DISPATCH_METHOD 1
#define APARTADO_DISPATCH_PROPERTYGET 2
#define APARTADO_DISPATCH_PROPERTYPUT 4

/* The dispatch id of a member, its name in any letter case. */
APARTADO_C_EXPORT apartado_status apartado_get_dispatch_id(const char* name, int32_t* dispatch_id);

/* Calls a member by dispatch id. args holds count arguments in the member's
   order (not reversed); they convert as the component model converts
   variants (a number to text, numeric text to a number, "Type mismatch",
   "Overflow", "Invalid use of Null"), but a record takes only
   APARTADO_VT_RECORD. Desapartar_Producto takes 7 or 8 arguments (Series is
   optional). result (may be NULL) receives the answer: APARTADO_VT_BOOL for
   a Boolean, the variant Desapartar answers, APARTADO_VT_TEXT for Error,
   APARTADO_VT_RECORD for a record, APARTADO_VT_EMPTY for a sub or a
   property let. The member runs exactly as its early-bound function does. */
APARTADO_C_EXPORT apartado_status apartado_invoke(apartado_object* object, int32_t dispatch_id, uint16_t flags,
                                                  const apartado_variant* args, size_t count, apartado_variant* result);

/* The published type library (apartadoQZL 1.2, interface _Apartado): its
   members in slot order, a property's get and let listed apart. kind is
   "function", "sub", "property get" or "property let". */
APARTADO_C_EXPORT size_t apartado_member_count(void);
APARTADO_C_EXPORT apartado_status apartado_member(size_t index, const char** name, const char** kind,
                                                  int32_t* dispatch_id);

#ifdef __cplusplus
}
#endif

#endif /* APARTADO_APARTADO_C_H */
