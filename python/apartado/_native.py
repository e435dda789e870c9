"""The C interface (libapartado_c), loaded with ctypes."""
import ctypes
import os
from ctypes import POINTER, c_char_p, c_double, c_int, c_int16, c_int32, c_size_t, c_uint16, c_void_p

def _load():
    explicit = os.environ.get("APARTADO_C_LIBRARY")
    if explicit:
        return ctypes.CDLL(explicit)
    try:
        from . import _location
    except ImportError:  # not installed: the dynamic loader's search
        return ctypes.CDLL("libapartado_c.so")
    here = os.path.dirname(os.path.abspath(__file__))
    return ctypes.CDLL(os.path.normpath(os.path.join(here, _location.LIBRARY_DIR, _location.SONAME)))


lib = _load()

# apartado_status
OK, FAILED, CONFLICT, BAD_HANDLE, WRONG_THREAD, BAD_ARGUMENT, UNKNOWN_MEMBER, BAD_STATE = range(8)

# apartado_vartype
VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R8, VT_DATE, VT_TEXT, VT_BOOL, VT_RECORD = 0, 1, 2, 3, 5, 7, 8, 11, 36

DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT = 1, 2, 4


class _Value(ctypes.Union):
    # Text is kept as an address, so that a string handed out can be freed.
    _fields_ = [("boolean", c_int16), ("i2", c_int16), ("i4", c_int32), ("r8", c_double), ("date", c_double),
                ("text", c_void_p)]


class Variant(ctypes.Structure):
    _fields_ = [("type", c_int), ("value", _Value)]


_handle = c_void_p
_out_text = POINTER(c_void_p)
_boolean = c_int16


def _declare(name, *argtypes, restype=c_int):
    function = getattr(lib, name)
    function.argtypes = list(argtypes)
    function.restype = restype


_declare("apartado_free", c_void_p, restype=None)
_declare("apartado_last_failure", restype=c_char_p)
_declare("apartado_suite_install", c_char_p, c_char_p, c_char_p, c_int, POINTER(_handle))
_declare("apartado_suite_create_schema", _handle)
_declare("apartado_suite_close", _handle)
_declare("apartado_create", POINTER(_handle))
_declare("apartado_release", _handle)
_declare("apartado_take_messages", _handle, _out_text)
_declare("apartado_set_transactions", _handle, c_int)
_declare("apartado_begin", _handle, c_int)
_declare("apartado_finish", _handle, _boolean)
_declare("apartado_rollback", _handle)
_declare("apartado_Desapartar_Producto", _handle, c_char_p, c_char_p, c_char_p, c_char_p, c_char_p, c_double,
         c_double, c_char_p, POINTER(_boolean))
_declare("apartado_get_Error", _handle, _out_text)
_declare("apartado_get_Encabezado", _handle, _out_text)
_declare("apartado_let_Encabezado", _handle, c_char_p)
_declare("apartado_get_Detalle", _handle, _out_text)
_declare("apartado_let_Detalle", _handle, c_char_p)
_declare("apartado_Nuevo", _handle)
_declare("apartado_Add_Apartado_Detalle", _handle, POINTER(_boolean))
for _operation in ("Cancelar_Apartado", "Genera_Cuenta_x_Cobrar_Apartado", "Apartar", "Finalizar_Apartado"):
    _declare("apartado_" + _operation, _handle, c_char_p, POINTER(_boolean))
_declare("apartado_Desapartar", _handle, c_char_p, POINTER(Variant))
_declare("apartado_get_Apartar_Productos", _handle, POINTER(_boolean))
_declare("apartado_let_Apartar_Productos", _handle, _boolean)
_declare("apartado_get_dispatch_id", c_char_p, POINTER(c_int32))
_declare("apartado_invoke", _handle, c_int32, c_uint16, POINTER(Variant), c_size_t, POINTER(Variant))
_declare("apartado_member_count", restype=c_size_t)
_declare("apartado_member", c_size_t, POINTER(c_char_p), POINTER(c_char_p), POINTER(c_int32))


def encode(text):
    return text.encode("utf-8")


def decode(data):
    # The component's texts go through unchanged, whatever their bytes.
    return data.decode("utf-8", "surrogateescape")


def taken_text(address):
    """The text at an address the library handed out, which is freed."""
    if not address:
        return ""
    try:
        return decode(ctypes.string_at(address))
    finally:
        lib.apartado_free(address)


def last_failure():
    return decode(lib.apartado_last_failure())
