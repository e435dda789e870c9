"""The Python package over the C interface: the life of a layaway by member
name and by dispatch id, the transaction block, and misuse as exceptions."""
import json
import threading

import pytest

import apartado
from conftest import cli

HEADER = {"Sucursal": {"Sc_Cve_Sucursal": "01"}, "Almacen": {"Al_Cve_Almacen": "01"},
          "Cliente": {"Cl_Cve_Cliente": "C001"}, "Vendedor": {"Vn_Cve_Vendedor": "V01"},
          "Mn_Cve_Moneda": "MXN", "Ap_Tipo_Cambio": 1, "Ap_Condicion_Venta": "AP30"}


def line(quantity=2, product="P100"):
    return {"Producto": {"Pr_Cve_Producto": product}, "Ap_Cantidad_1": quantity, "Ap_Unidad_1": "PZA",
            "Ap_Cantidad_Control_2": quantity, "Ap_Precio_Lista": 899}


def stored_rows(shop, folio):
    return json.loads(cli("--db", shop, "--json", "show", folio))["rows"]


def reserved_chairs(shop):
    rows = json.loads(cli("--db", shop, "--json", "stock", "--producto", "P100"))["rows"]
    return rows[0]["Ex_Cantidad_Apartado_Control_1"]


@pytest.mark.parametrize("late", [False, True], ids=["by name", "by dispatch id"])
def test_a_layaway_is_captured_reserved_billed_and_cancelled(shop, layaway, late):
    call = (lambda name, *args: layaway.invoke(apartado.dispatch_id(name), *args)) if late else \
        (lambda name, *args: getattr(layaway, name)(*args))
    layaway.transactions = apartado.ROLL_BACK_ON_REFUSAL
    before = reserved_chairs(shop)
    with layaway.transaction():
        call("Nuevo")
        if late:
            layaway.invoke(apartado.dispatch_id("Encabezado"), HEADER)
            layaway.invoke(apartado.dispatch_id("Apartar_Productos"), False)
            layaway.invoke(apartado.dispatch_id("Detalle"), line())
        else:
            layaway.Encabezado = HEADER
            layaway.Apartar_Productos = False
            layaway.Detalle = line()
        assert layaway.take_messages() == []
        assert call("Add_Apartado_Detalle") is True, layaway.Error
    header = layaway.invoke(apartado.dispatch_id("Encabezado")) if late else layaway.Encabezado
    folio = header["Ap_Folio"]
    assert header["Sucursal"]["Sc_Cve_Sucursal"] == "01" and folio
    assert [row["Ap_ID"] for row in stored_rows(shop, folio)] == ["0001"]

    assert call("Apartar", folio) is True, layaway.Error
    assert reserved_chairs(shop) == before + 2
    assert call("Genera_Cuenta_x_Cobrar_Apartado", folio) is True, layaway.Error
    layaway.Apartar_Productos = True
    assert call("Cancelar_Apartado", folio) is True, layaway.Error
    assert reserved_chairs(shop) == before
    assert {row["Es_Cve_Estado"] for row in stored_rows(shop, folio)} == {"CA"}


def test_every_member_answers_alike_by_name_and_by_dispatch_id(layaway):
    arguments = {"Desapartar_Producto": ("01", "01", "NO-SUCH", "00", "00", 1, 1), "Add_Apartado_Detalle": (),
                 "Encabezado": (HEADER,), "Detalle": (line(),), "Apartar_Productos": (True,)}
    listed = apartado.members()
    assert len(listed) == 15 and len({(m.name, m.kind) for m in listed}) == 15
    for member in listed:
        assert callable(getattr(apartado.Apartado, member.name)) or \
            isinstance(getattr(apartado.Apartado, member.name), property)
        flags = apartado.PROPERTYPUT if member.kind == "property let" else \
            apartado.PROPERTYGET if member.kind == "property get" else apartado.METHOD
        args = arguments.get(member.name, ("NO-SUCH-FOLIO",)) if member.kind in ("function", "property let") else ()
        by_name = layaway.invoke(member.name.upper(), *args, flags=flags)
        by_id = layaway.invoke(member.dispatch_id, *args, flags=flags)
        assert by_name == by_id, member
        expected = {"function": bool, "sub": type(None), "property let": type(None)}.get(member.kind)
        if member.name in ("Encabezado", "Detalle") and member.kind == "property get":
            expected = dict
        elif member.name == "Error":
            expected = str
        elif member.kind == "property get":
            expected = bool
        assert isinstance(by_id, expected), member


def test_a_block_or_a_refused_operation_leaves_nothing(shop, layaway):
    with pytest.raises(RuntimeError):
        with layaway.transaction():
            layaway.Nuevo()
            layaway.Encabezado = HEADER
            layaway.Detalle = line()
            assert layaway.Add_Apartado_Detalle() is True, layaway.Error
            folio = layaway.Encabezado["Ap_Folio"]
            raise RuntimeError("the host changed its mind")
    assert stored_rows(shop, folio) == []
    assert layaway.Encabezado["Ap_Folio"] == ""  # the object put back as it was

    # A first line refused for stock: rolled back with its folio, unless the
    # component is left to itself.
    for mode, keeps_folio in ((apartado.ROLL_BACK_ON_REFUSAL, False), (apartado.NO_TRANSACTIONS, True)):
        layaway.transactions = mode
        layaway.Nuevo()
        layaway.Encabezado = HEADER
        layaway.Detalle = line(quantity=999)
        assert layaway.Add_Apartado_Detalle() is False
        assert "existencia" in layaway.Error.lower()
        assert bool(layaway.Encabezado["Ap_Folio"]) == keeps_folio, mode


def test_text_that_could_end_its_quotes_never_reaches_the_component(shop, layaway):
    layaway.Nuevo()
    layaway.Encabezado = HEADER
    layaway.Detalle = line()
    assert layaway.Add_Apartado_Detalle() is True, layaway.Error  # something reserved to lose
    before = reserved_chairs(shop)
    or_true = "x' OR '1'='1"
    with pytest.raises(apartado.Misuse, match=r"Ap_Folio holds a single quote \('\) at character 2"):
        layaway.Cancelar_Apartado(or_true)
    with pytest.raises(apartado.Misuse, match="Ap_Folio holds a single quote"):
        layaway.invoke("Desapartar", or_true)
    with pytest.raises(apartado.Misuse, match="Pr_Cve_Producto holds a backslash"):
        layaway.Desapartar_Producto("01", "01", "P100\\", "00", "00", 1, 1, "")
    with pytest.raises(apartado.Misuse, match="Cantidad_Control_1 must be a number from"):
        layaway.Desapartar_Producto("01", "01", "P100", "00", "00", float("nan"), 1, "")
    with pytest.raises(apartado.Misuse, match='field "Ap_Concepto" holds a single quote'):
        layaway.Detalle = dict(line(), Ap_Concepto="O'Brien")
    assert before >= 2 and reserved_chairs(shop) == before


def test_misuse_raises_and_the_component_model_shows_through(layaway):
    # Detalle reports a refusal through the session, not as a failure.
    layaway.Detalle = dict(line(), Ap_Cantidad_Control_1=1)
    assert layaway.take_messages() == [{"id": "ERR-ID:7500001", "title": "ApartadosQZL.dll - Property Let Detalle()",
                                         "text": "EL PARAMETRO Ap_Cantidad_Control_1, ES DE SOLO LECTURA!"}]
    assert layaway.take_messages() == []
    # A Boolean that is neither -1 nor 0 stays what it is; -1 and 0 are True and False.
    layaway.Apartar_Productos = 1
    assert layaway.Apartar_Productos == 1 and layaway.Apartar_Productos is not True
    assert layaway.invoke("Apartar_Productos", apartado.TRUE) is None and layaway.Apartar_Productos is True
    assert layaway.invoke("Apartar_Productos", raw=True) == apartado.TRUE

    with pytest.raises(apartado.Misuse, match='unknown field "Producto.Pr_Color"'):
        layaway.Detalle = {"Producto": {"Pr_Cve_Producto": "P100", "Pr_Color": "red"}}
    with pytest.raises(apartado.Misuse, match="no member has the dispatch id 0x60030099"):
        layaway.invoke(0x60030099)
    with pytest.raises(apartado.Misuse, match="no member is named"):
        layaway.invoke("Apartarr", "F1")
    with pytest.raises(apartado.Misuse, match="Apartar takes 1 argument, not 2"):
        layaway.invoke("Apartar", "F1", "F2")
    with pytest.raises(apartado.Misuse, match=r"argument 6 \(Cantidad_Control_1\): Type mismatch"):
        layaway.invoke("Desapartar_Producto", "01", "01", "P100", "00", "00", "many", 1)

    raised = []
    thread = threading.Thread(target=lambda: raised.append(pytest.raises(apartado.WrongThread, lambda: layaway.Error)))
    thread.start()
    thread.join()
    assert raised and "another thread" in str(raised[0].value)
    assert layaway.Error == ""  # still the creating thread's

    other = apartado.Apartado()
    other.release()
    with pytest.raises(apartado.Misuse, match="released"):
        other.Nuevo()
