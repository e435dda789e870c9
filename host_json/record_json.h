#pragma once
// The layaway records as JSON: field names as in the records, nested records
// as nested objects, dates as ISO 8601 text ("2026-03-10T15:30:00"), the
// opaque UserDef as its text.
#include <string>
#include <vector>

#include "apartado/records.h"
#include "apartado/suite.h"
#include "json_types.h"

namespace apartado::host_json {

// Every field of the record, in record order.
Json EncabezadoToJson(const tApEncabezado& record);
Json DetalleToJson(const tApDetalle& record);

// Copies the fields present in value onto record; fields not present keep
// their values. Throws InputError naming the field (its path from the
// record, prefixed with prefix) when value is not an object, a field is
// unknown, a value has the wrong type, a text is one the component cannot
// be given (CheckText) or a number is outside its range (CheckNumber);
// record may then be half changed.
void OverlayEncabezado(const Json& value, tApEncabezado& record, const std::string& prefix = "");
void OverlayDetalle(const Json& value, tApDetalle& record, const std::string& prefix = "");

// Messages the session reported, as [{"id", "title", "text"}, ...].
Json MessagesToJson(const std::vector<suite::ReportedMessage>& messages);

}  // namespace apartado::host_json
