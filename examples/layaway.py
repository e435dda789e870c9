"""A layaway's life through the Python package: captured, reserved, billed and
cancelled. Usage: python3 layaway.py DATABASE   (a database with the demo
shop: `apartado --db shop.db demo` makes one)"""
import sys

import apartado

HEADER = {"Sucursal": {"Sc_Cve_Sucursal": "01"}, "Almacen": {"Al_Cve_Almacen": "01"},
          "Cliente": {"Cl_Cve_Cliente": "C001"}, "Vendedor": {"Vn_Cve_Vendedor": "V01"},
          "Mn_Cve_Moneda": "MXN", "Ap_Tipo_Cambio": 1, "Ap_Condicion_Venta": "AP30"}
LINE = {"Producto": {"Pr_Cve_Producto": "P100"}, "Ap_Cantidad_1": 2, "Ap_Unidad_1": "PZA",
        "Ap_Cantidad_Control_2": 2, "Ap_Precio_Lista": 899}


def step(layaway, what, answer):
    print(f"{what:32} {answer}")
    if answer is not True:
        sys.exit(layaway.Error)


with apartado.Suite(sys.argv[1]), apartado.Apartado() as layaway:
    layaway.transactions = apartado.ROLL_BACK_ON_REFUSAL  # every operation one transaction
    with layaway.transaction():  # the whole capture too: a refused line leaves nothing
        layaway.Nuevo()
        layaway.Encabezado = HEADER
        layaway.Apartar_Productos = False  # reserved below, by Apartar
        layaway.Detalle = LINE
        if layaway.take_messages():
            sys.exit("Detalle refused the line")
        step(layaway, "Add_Apartado_Detalle", layaway.Add_Apartado_Detalle())
    folio = layaway.Encabezado["Ap_Folio"]
    print(f"{'folio':32} {folio}")
    step(layaway, "Apartar", layaway.Apartar(folio))
    step(layaway, "Genera_Cuenta_x_Cobrar_Apartado", layaway.invoke("Genera_Cuenta_x_Cobrar_Apartado", folio))
    layaway.Apartar_Productos = True  # cancelling releases the stock and the receivable
    step(layaway, "Cancelar_Apartado", layaway.Cancelar_Apartado(folio))
