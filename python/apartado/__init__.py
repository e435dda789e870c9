"""The layaway component from Python, over its C interface (libapartado_c).

    import apartado

    with apartado.Suite("shop.db") as suite:       # the reference suite over a database
        layaway = apartado.Apartado()              # used on the thread that made it
        layaway.transactions = apartado.ROLL_BACK_ON_REFUSAL
        with layaway.transaction():                # the whole capture, whole or absent
            layaway.Nuevo()
            layaway.Encabezado = {"Sucursal": {"Sc_Cve_Sucursal": "01"}, ...}
            layaway.Detalle = {"Producto": {"Pr_Cve_Producto": "P100"}, ...}
            if not layaway.Add_Apartado_Detalle():
                print(layaway.Error)

Members keep their own names. Records are dicts shaped as the command-line
host's JSON (nested records as dicts, dates as ISO 8601 text); a dataclass
instance is taken too. Operations answer True or False; a Boolean the
component holds as anything but -1 or 0 comes back as that int, and TRUE and
FALSE are the component's -1 and 0 for hosts that pass them on.
"""
import contextlib
import dataclasses
import datetime
import json
from ctypes import addressof, byref, c_char_p, c_double, c_int16, c_int32, c_void_p, create_string_buffer
from typing import NamedTuple

from . import _native
from ._native import encode, lib, taken_text

TRUE, FALSE = -1, 0
NO_TRANSACTIONS, ROLL_BACK_ON_REFUSAL, COMMIT_ON_REFUSAL = 0, 1, 2
METHOD = _native.DISPATCH_METHOD
PROPERTYGET = _native.DISPATCH_PROPERTYGET
PROPERTYPUT = _native.DISPATCH_PROPERTYPUT


class ApartadoError(Exception):
    """A call that did not complete; status is the C interface's."""

    def __init__(self, status, text):
        super().__init__(text)
        self.status = status


class Failure(ApartadoError):
    """The component, a suite service or the database failed; the text is theirs."""


class TransactionConflict(ApartadoError):
    """Another session's work spoiled the transaction: nothing of it was kept; run it again."""


class Misuse(ApartadoError):
    """A released object, a wrong argument, member or state."""


class WrongThread(Misuse):
    """The object belongs to another thread."""


_RAISED = {_native.FAILED: Failure, _native.CONFLICT: TransactionConflict, _native.WRONG_THREAD: WrongThread}


def _check(status):
    if status != _native.OK:
        raise _RAISED.get(status, Misuse)(status, _native.last_failure())


def boolean(value):
    """The component's Boolean for a Python value: True -1, False 0, an int as it is."""
    if isinstance(value, bool):
        return TRUE if value else FALSE
    return int(value)


def answer(value):
    """A Python answer for the component's Boolean: -1 True, 0 False, any other value as it is."""
    return True if value == TRUE else False if value == FALSE else value


class Member(NamedTuple):
    name: str
    kind: str  # "function", "sub", "property get", "property let"
    dispatch_id: int


def members():
    """The members of the published type library, in slot order."""
    found = []
    for index in range(lib.apartado_member_count()):
        name, kind, dispatch_id = c_char_p(), c_char_p(), c_int32()
        _check(lib.apartado_member(index, byref(name), byref(kind), byref(dispatch_id)))
        found.append(Member(name.value.decode(), kind.value.decode(), dispatch_id.value))
    return found


def dispatch_id(name):
    """The dispatch id of a member, its name in any letter case."""
    found = c_int32()
    _check(lib.apartado_get_dispatch_id(encode(name), byref(found)))
    return found.value


class Suite:
    """The reference suite services over a database, installed for the objects
    created from then on; one at a time in a process."""

    def __init__(self, connection, operator="ADMIN", server_id="", remote=False):
        self._handle = c_void_p()
        _check(lib.apartado_suite_install(encode(connection), encode(operator), encode(server_id), int(bool(remote)),
                                          byref(self._handle)))

    def create_schema(self):
        """Creates the suite schema if it is missing, as `apartado init` does."""
        _check(lib.apartado_suite_create_schema(self._handle))

    def close(self):
        _check(lib.apartado_suite_close(self._handle))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


EMPTY = object()  # an Empty variant argument; None passes Null
_DAY_ZERO = datetime.datetime(1899, 12, 30)


def _record_json(record):
    if dataclasses.is_dataclass(record):
        record = dataclasses.asdict(record)
    return record if isinstance(record, str) else json.dumps(record, ensure_ascii=False)


def _to_variant(value, kept):
    v = _native.Variant()
    if value is EMPTY:
        v.type = _native.VT_EMPTY
    elif value is None:
        v.type = _native.VT_NULL
    elif isinstance(value, bool):
        v.type, v.value.boolean = _native.VT_BOOL, boolean(value)
    elif isinstance(value, int) and -32768 <= value <= 32767:
        v.type, v.value.i2 = _native.VT_I2, value
    elif isinstance(value, int) and -2**31 <= value < 2**31:
        v.type, v.value.i4 = _native.VT_I4, value
    elif isinstance(value, (int, float)):
        v.type, v.value.r8 = _native.VT_R8, float(value)
    elif isinstance(value, (datetime.datetime, datetime.date)):
        moment = value if isinstance(value, datetime.datetime) else datetime.datetime.combine(value, datetime.time())
        v.type, v.value.date = _native.VT_DATE, (moment - _DAY_ZERO) / datetime.timedelta(days=1)
    else:
        is_text = isinstance(value, str)
        buffer = create_string_buffer(encode(value if is_text else _record_json(value)))
        kept.append(buffer)
        v.type = _native.VT_TEXT if is_text else _native.VT_RECORD
        v.value.text = addressof(buffer)
    return v


def _from_variant(v, raw):
    kind = v.type
    if kind in (_native.VT_TEXT, _native.VT_RECORD):
        text = taken_text(v.value.text)
        return text if kind == _native.VT_TEXT or raw else json.loads(text)
    if kind == _native.VT_BOOL:
        return v.value.boolean if raw else answer(v.value.boolean)
    if kind == _native.VT_I2:
        return v.value.i2
    if kind == _native.VT_I4:
        return v.value.i4
    if kind == _native.VT_R8:
        return v.value.r8
    if kind == _native.VT_DATE:
        return _DAY_ZERO + datetime.timedelta(days=v.value.date)
    return None


class Apartado:
    """An Apartado object of the component. Use it on the thread that created
    it; release() it (or use it in a with block) when done."""

    def __init__(self):
        self._handle = c_void_p()
        _check(lib.apartado_create(byref(self._handle)))
        self._live = True
        self._transactions = NO_TRANSACTIONS

    def release(self):
        _check(lib.apartado_release(self._handle))
        self._live = False

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.release()

    def __del__(self):
        # Only on the object's own thread; elsewhere the object stays made.
        if getattr(self, "_live", False) and lib is not None:
            lib.apartado_release(self._handle)

    # ---- The members of _Apartado ----

    def Desapartar_Producto(self, Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color,
                            Cantidad_Control_1, Cantidad_Control_2, Series=""):
        out = c_int16()
        _check(lib.apartado_Desapartar_Producto(self._handle, encode(Sc_Cve_Sucursal), encode(Al_Cve_Almacen),
                                                encode(Pr_Cve_Producto), encode(Tl_Cve_Talla), encode(Cl_Cve_Color),
                                                c_double(Cantidad_Control_1), c_double(Cantidad_Control_2),
                                                encode(Series), byref(out)))
        return answer(out.value)

    @property
    def Error(self):
        """The text of the last failure, CR LF line breaks included."""
        return self._text(lib.apartado_get_Error)

    @property
    def Encabezado(self):
        return json.loads(self._text(lib.apartado_get_Encabezado))

    @Encabezado.setter
    def Encabezado(self, record):
        """The fields given are laid over the current header, which is then assigned."""
        _check(lib.apartado_let_Encabezado(self._handle, encode(_record_json(record))))

    @property
    def Detalle(self):
        return json.loads(self._text(lib.apartado_get_Detalle))

    @Detalle.setter
    def Detalle(self, record):
        """A line of the fields given, over an empty one. Refusals go to take_messages()."""
        _check(lib.apartado_let_Detalle(self._handle, encode(_record_json(record))))

    def Nuevo(self):
        _check(lib.apartado_Nuevo(self._handle))

    def Add_Apartado_Detalle(self):
        out = c_int16()
        _check(lib.apartado_Add_Apartado_Detalle(self._handle, byref(out)))
        return answer(out.value)

    def Cancelar_Apartado(self, Ap_Folio):
        return self._on_folio(lib.apartado_Cancelar_Apartado, Ap_Folio)

    def Genera_Cuenta_x_Cobrar_Apartado(self, Ap_Folio):
        return self._on_folio(lib.apartado_Genera_Cuenta_x_Cobrar_Apartado, Ap_Folio)

    def Apartar(self, Ap_Folio):
        return self._on_folio(lib.apartado_Apartar, Ap_Folio)

    def Desapartar(self, Ap_Folio):
        out = _native.Variant()
        _check(lib.apartado_Desapartar(self._handle, encode(Ap_Folio), byref(out)))
        return _from_variant(out, raw=False)

    @property
    def Apartar_Productos(self):
        out = c_int16()
        _check(lib.apartado_get_Apartar_Productos(self._handle, byref(out)))
        return answer(out.value)

    @Apartar_Productos.setter
    def Apartar_Productos(self, value):
        _check(lib.apartado_let_Apartar_Productos(self._handle, boolean(value)))

    def Finalizar_Apartado(self, Ap_Folio):
        return self._on_folio(lib.apartado_Finalizar_Apartado, Ap_Folio)

    # ---- Beyond the members ----

    def take_messages(self):
        """What the session reported while the object ran, since the last take:
        [{"id", "title", "text"}]. A line Detalle refused is reported here only."""
        return json.loads(self._text(lib.apartado_take_messages))

    @property
    def transactions(self):
        return self._transactions

    @transactions.setter
    def transactions(self, mode):
        """NO_TRANSACTIONS, ROLL_BACK_ON_REFUSAL or COMMIT_ON_REFUSAL: how each
        operation runs from now on (with a transaction, a conflict with another
        session is retried before TransactionConflict)."""
        _check(lib.apartado_set_transactions(self._handle, mode))
        self._transactions = mode

    @contextlib.contextmanager
    def transaction(self, on_refusal=ROLL_BACK_ON_REFUSAL):
        """The block as one transaction (nested in an open one, a savepoint):
        kept when it ends, rolled back, with the object put back as before it,
        when it raises. TransactionConflict at its end: nothing was kept; run
        the block again."""
        _check(lib.apartado_begin(self._handle, on_refusal))
        try:
            yield self
        except BaseException:
            lib.apartado_rollback(self._handle)
            raise
        _check(lib.apartado_finish(self._handle, TRUE))

    def invoke(self, member, *args, flags=None, raw=False):
        """Calls a member by name or dispatch id with variant arguments. Without
        flags, one argument to a property that has a let assigns it; anything
        else is a call or a get. raw=True answers Booleans as -1/0 and records
        as their JSON text."""
        member_id = member if isinstance(member, int) else dispatch_id(member)
        if flags is None:
            assigns = len(args) == 1 and any(m.dispatch_id == member_id and m.kind == "property let"
                                             for m in members())
            flags = PROPERTYPUT if assigns else METHOD | PROPERTYGET
        kept = []
        values = (_native.Variant * max(len(args), 1))(*[_to_variant(a, kept) for a in args])
        result = _native.Variant()
        _check(lib.apartado_invoke(self._handle, member_id, flags, values, len(args), byref(result)))
        return _from_variant(result, raw)

    def _text(self, function):
        address = c_void_p()
        _check(function(self._handle, byref(address)))
        return taken_text(address.value)

    def _on_folio(self, function, folio):
        out = c_int16()
        _check(function(self._handle, encode(folio), byref(out)))
        return answer(out.value)
