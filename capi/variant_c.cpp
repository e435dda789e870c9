#include "variant_c.h"

#include "call.h"

namespace apartado::capi {

Variant FromC(const apartado_variant& value) {
  switch (value.type) {
    case APARTADO_VT_EMPTY:
      return Variant();
    case APARTADO_VT_NULL:
      return Variant::MakeNull();
    case APARTADO_VT_I2:
      return Variant::FromInteger(value.value.i2);
    case APARTADO_VT_I4:
      return Variant::FromLong(value.value.i4);
    case APARTADO_VT_R8:
      return Variant::FromDouble(value.value.r8);
    case APARTADO_VT_DATE:
      return Variant::FromDate(value.value.date);
    case APARTADO_VT_TEXT:
      Require(value.value.text, "the text of a variant");
      return Variant::FromText(value.value.text);
    case APARTADO_VT_BOOL:
      return Variant::FromBoolean(value.value.boolean != 0);
    case APARTADO_VT_RECORD:
      throw CallError(APARTADO_BAD_ARGUMENT, "Type mismatch: a record where a plain value is expected");
  }
  throw CallError(APARTADO_BAD_ARGUMENT, "unknown variant type " + std::to_string(value.type));
}

apartado_variant BooleanToC(Boolean value) {
  apartado_variant c{};
  c.type = APARTADO_VT_BOOL;
  c.value.boolean = value;
  return c;
}

apartado_variant TextToC(apartado_vartype type, const std::string& text) {
  apartado_variant c{};
  c.type = type;
  c.value.text = Handed(text);
  return c;
}

apartado_variant ToC(const Variant& value) {
  apartado_variant c{};
  switch (value.GetKind()) {
    case Variant::Kind::Empty:
      c.type = APARTADO_VT_EMPTY;
      break;
    case Variant::Kind::Null:
      c.type = APARTADO_VT_NULL;
      break;
    case Variant::Kind::Boolean:
      return BooleanToC(value.ToBoolean());
    case Variant::Kind::Integer:
      c.type = APARTADO_VT_I2;
      c.value.i2 = value.ToInteger();
      break;
    case Variant::Kind::Long:
      c.type = APARTADO_VT_I4;
      c.value.i4 = value.ToLong();
      break;
    case Variant::Kind::Double:
      c.type = APARTADO_VT_R8;
      c.value.r8 = value.ToDouble();
      break;
    case Variant::Kind::Date:
      c.type = APARTADO_VT_DATE;
      c.value.date = value.ToDate();
      break;
    case Variant::Kind::Text:
      return TextToC(APARTADO_VT_TEXT, value.ToText());
  }
  return c;
}

}  // namespace apartado::capi
