#include <iostream>

#include "suite_services.h"

namespace apartado::suite {

Connection& SuiteSessionServices::GetConnection() { return Db().GetConnection(); }

std::string SuiteSessionServices::GetOperator() { return Options().operatorKey; }

// The whole number and the kind letter do not change where the value is
// read from: the stored text is handed back and the caller converts it. A
// parameter without a row, with a null value or withdrawn ('BA') is not
// configured.
Variant SuiteSessionServices::ReadParameter(const std::string& name, std::int32_t, const std::string&,
                                            const std::string& defaultText) {
  TableRecordset rows =
      Db().Query("SELECT Pa_Valor FROM Parametro WHERE Pa_Nombre = :p1 AND COALESCE(Es_Cve_Estado, '') <> 'BA'",
                 {Variant::FromText(name)});
  if (!rows.Eof()) {
    const Variant value = rows.Field("Pa_Valor");
    if (!value.IsNull() && !value.IsEmpty()) return Variant::FromText(value.ToText());
  }
  return Variant::FromText(defaultText);
}

std::string SuiteSessionServices::GetServerId() { return Options().serverId; }

Boolean SuiteSessionServices::IsRemoteServer() { return ToBoolean(Options().remote); }

void SuiteSessionServices::ReportMessage(const std::string& message, std::int32_t style, const std::string& title,
                                         const std::optional<Variant>&, const std::string& componentName,
                                         const std::string& errorId) {
  ReportedMessage reported{message, style, title, componentName, errorId};
  if (Options().messageSink) {
    Options().messageSink(reported);
    return;
  }
  std::cerr << componentName << " " << errorId << " " << title << ": " << message << std::endl;
}

}  // namespace apartado::suite
