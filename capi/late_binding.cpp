// Members called by dispatch id with variant arguments, as the published
// type library lists them.
#include <cctype>
#include <cstdio>
#include <map>
#include <type_traits>
#include <utility>
#include <vector>

#include "apartado/failure.h"
#include "apartado/type_library.h"
#include "call.h"
#include "members.h"
#include "registry.h"
#include "variant_c.h"

namespace apartado::capi {
namespace {

// The arguments of one call, converted on use as the component model
// converts variants; a conversion that fails names the argument.
class Args {
 public:
  Args(std::string_view member, const std::vector<std::string_view>& names, const apartado_variant* values,
       std::size_t count)
      : member_(member), names_(names), values_(values), count_(count) {}

  // A left-out optional argument reads as empty text.
  std::string Text(std::size_t i) const {
    if (i >= count_) return "";
    return Converted(i, [](const Variant& v) { return v.ToText(); });
  }
  double Number(std::size_t i) const {
    return Converted(i, [](const Variant& v) { return v.ToDouble(); });
  }
  // A Boolean is kept as given, any 16-bit value; anything else converts.
  Boolean BooleanValue(std::size_t i) const {
    if (values_[i].type == APARTADO_VT_BOOL) return values_[i].value.boolean;
    return Converted(i, [](const Variant& v) { return v.ToBoolean(); });
  }
  std::string Record(std::size_t i) const {
    if (values_[i].type != APARTADO_VT_RECORD) {
      throw CallError(APARTADO_BAD_ARGUMENT,
                      Where(i) + "Type mismatch: a record is passed as APARTADO_VT_RECORD (its JSON text)");
    }
    Require(values_[i].value.text, "the JSON text of a record");
    return values_[i].value.text;
  }

 private:
  std::string Where(std::size_t i) const {
    return std::string(member_) + ": argument " + std::to_string(i + 1) + " (" + std::string(names_[i]) + "): ";
  }
  template <class Convert>
  std::invoke_result_t<Convert, const Variant&> Converted(std::size_t i, Convert convert) const {
    try {
      return convert(FromC(values_[i]));
    } catch (const CallError& e) {
      throw CallError(e.Status(), Where(i) + e.what());
    } catch (const Failure& e) {
      throw CallError(APARTADO_BAD_ARGUMENT, Where(i) + e.what());
    }
  }

  std::string_view member_;
  const std::vector<std::string_view>& names_;
  const apartado_variant* values_;
  std::size_t count_;
};

apartado_variant Empty() { return apartado_variant{}; }

// How one member of the type library is called.
struct Binding {
  std::vector<std::string_view> params;
  std::size_t optional = 0;  // trailing arguments that may be left out
  apartado_variant (*run)(ObjectEntry&, const Args&);
};

const std::map<std::pair<std::string_view, std::string_view>, Binding>& Bindings() {
  using members::Desapartar_Producto;
  static const std::map<std::pair<std::string_view, std::string_view>, Binding> bindings = {
      {{"Desapartar_Producto", "function"},
       {{"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Cantidad_Control_1",
         "Cantidad_Control_2", "Series"},
        1,
        [](ObjectEntry& e, const Args& a) {
          return BooleanToC(Desapartar_Producto(e, a.Text(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4), a.Number(5),
                                                a.Number(6), a.Text(7)));
        }}},
      {{"Error", "property get"},
       {{}, 0, [](ObjectEntry& e, const Args&) { return TextToC(APARTADO_VT_TEXT, members::Error(e)); }}},
      {{"Encabezado", "property get"},
       {{}, 0, [](ObjectEntry& e, const Args&) { return TextToC(APARTADO_VT_RECORD, members::GetEncabezado(e)); }}},
      {{"Encabezado", "property let"},
       {{"Encabezado"},
        0,
        [](ObjectEntry& e, const Args& a) {
          members::LetEncabezado(e, a.Record(0));
          return Empty();
        }}},
      {{"Detalle", "property get"},
       {{}, 0, [](ObjectEntry& e, const Args&) { return TextToC(APARTADO_VT_RECORD, members::GetDetalle(e)); }}},
      {{"Detalle", "property let"},
       {{"Detalle"},
        0,
        [](ObjectEntry& e, const Args& a) {
          members::LetDetalle(e, a.Record(0));
          return Empty();
        }}},
      {{"Nuevo", "sub"},
       {{},
        0,
        [](ObjectEntry& e, const Args&) {
          members::Nuevo(e);
          return Empty();
        }}},
      {{"Add_Apartado_Detalle", "function"},
       {{}, 0, [](ObjectEntry& e, const Args&) { return BooleanToC(members::Add_Apartado_Detalle(e)); }}},
      {{"Cancelar_Apartado", "function"},
       {{"Ap_Folio"},
        0,
        [](ObjectEntry& e, const Args& a) { return BooleanToC(members::Cancelar_Apartado(e, a.Text(0))); }}},
      {{"Genera_Cuenta_x_Cobrar_Apartado", "function"},
       {{"Ap_Folio"},
        0,
        [](ObjectEntry& e, const Args& a) {
          return BooleanToC(members::Genera_Cuenta_x_Cobrar_Apartado(e, a.Text(0)));
        }}},
      {{"Apartar", "function"},
       {{"Ap_Folio"}, 0, [](ObjectEntry& e, const Args& a) { return BooleanToC(members::Apartar(e, a.Text(0))); }}},
      {{"Desapartar", "function"},
       {{"Ap_Folio"}, 0, [](ObjectEntry& e, const Args& a) { return ToC(members::Desapartar(e, a.Text(0))); }}},
      {{"Apartar_Productos", "property get"},
       {{}, 0, [](ObjectEntry& e, const Args&) { return BooleanToC(members::GetApartar_Productos(e)); }}},
      {{"Apartar_Productos", "property let"},
       {{"Apartar_Productos"},
        0,
        [](ObjectEntry& e, const Args& a) {
          members::LetApartar_Productos(e, a.BooleanValue(0));
          return Empty();
        }}},
      {{"Finalizar_Apartado", "function"},
       {{"Ap_Folio"},
        0,
        [](ObjectEntry& e, const Args& a) { return BooleanToC(members::Finalizar_Apartado(e, a.Text(0))); }}},
  };
  return bindings;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string Hex(std::int32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
  return text;
}

bool Answers(std::string_view kind, std::uint16_t flags) {
  if (flags & APARTADO_DISPATCH_PROPERTYPUT) return kind == "property let";
  if ((flags & APARTADO_DISPATCH_METHOD) && (kind == "function" || kind == "sub")) return true;
  return (flags & APARTADO_DISPATCH_PROPERTYGET) && kind == "property get";
}

// The member a dispatch id and flags name.
const TypeLibraryMember& Resolve(std::int32_t id, std::uint16_t flags) {
  const TypeLibraryMember* named = nullptr;
  for (const TypeLibraryMember& member : PublishedTypeLibrary().Members) {
    if (static_cast<std::int32_t>(member.DispatchId) != id) continue;
    if (Answers(member.Kind, flags)) return member;
    named = &member;
  }
  if (!named) throw CallError(APARTADO_UNKNOWN_MEMBER, "no member has the dispatch id " + Hex(id));
  throw CallError(APARTADO_UNKNOWN_MEMBER, std::string(named->Name) + " (" + Hex(id) + ") has no " +
                                               (flags & APARTADO_DISPATCH_PROPERTYPUT ? "property let" : "member") +
                                               " that answers the flags " + std::to_string(flags));
}

std::string Count(std::size_t n) { return std::to_string(n) + (n == 1 ? " argument" : " arguments"); }

}  // namespace
}  // namespace apartado::capi

using namespace apartado::capi;

extern "C" {

apartado_status apartado_get_dispatch_id(const char* name, int32_t* dispatchId) {
  return Call(__func__, [&] {
    Require(name, "name");
    Require(dispatchId, "dispatch_id");
    for (const apartado::TypeLibraryMember& member : apartado::PublishedTypeLibrary().Members) {
      if (SameName(member.Name, name)) {
        *dispatchId = static_cast<int32_t>(member.DispatchId);
        return;
      }
    }
    throw CallError(APARTADO_UNKNOWN_MEMBER, "no member is named \"" + std::string(name) + "\"");
  });
}

apartado_status apartado_invoke(apartado_object* object, int32_t dispatchId, uint16_t flags,
                                const apartado_variant* args, size_t count, apartado_variant* result) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    const apartado::TypeLibraryMember& member = Resolve(dispatchId, flags);
    const Binding& binding = Bindings().at({member.Name, member.Kind});
    const std::size_t most = binding.params.size();
    const std::size_t least = most - binding.optional;
    if (count < least || count > most) {
      throw CallError(APARTADO_BAD_ARGUMENT,
                      std::string(member.Name) + " takes " +
                          (least == most ? Count(most) : std::to_string(least) + " or " + Count(most)) + ", not " +
                          std::to_string(count));
    }
    if (count > 0) Require(args, "args");
    apartado_variant answer = binding.run(entry, Args(member.Name, binding.params, args, count));
    if (result) {
      *result = answer;
    } else if (answer.type == APARTADO_VT_TEXT || answer.type == APARTADO_VT_RECORD) {
      apartado_free(answer.value.text);
    }
  });
}

size_t apartado_member_count(void) { return apartado::PublishedTypeLibrary().Members.size(); }

apartado_status apartado_member(size_t index, const char** name, const char** kind, int32_t* dispatchId) {
  return Call(__func__, [&] {
    const auto& members = apartado::PublishedTypeLibrary().Members;
    if (index >= members.size()) {
      throw CallError(APARTADO_BAD_ARGUMENT, "index " + std::to_string(index) + " is past the last member (there are " +
                                                 std::to_string(members.size()) + ")");
    }
    // The library's names and kinds are string literals: their text ends in a NUL.
    if (name) *name = members[index].Name.data();
    if (kind) *kind = members[index].Kind.data();
    if (dispatchId) *dispatchId = static_cast<int32_t>(members[index].DispatchId);
  });
}

}  // extern "C"
