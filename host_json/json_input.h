#pragma once
// Reading the host's JSON input: files or standard input, whole documents or
// JSON Lines, with errors that say where the input is wrong.
#include <iosfwd>
#include <string>
#include <vector>

#include "json_types.h"

namespace apartado::host_json {

// The text of a file, or of in when path is "-". Throws InputError naming
// the file when it is a directory or cannot be opened or read, with the
// system's reason.
std::string ReadInput(const std::string& path, std::istream& in);

// Parses one JSON document. Throws InputError "NAME: malformed JSON: ..."
// with the line and column of the fault, or naming a key an object gives
// twice (by its JSON pointer: "/Moneda/0/Mn_Cve_Moneda").
Json ParseDocument(const std::string& text, const std::string& name);

// One value of a stream of objects.
struct InputValue {
  Json value;
  // The input line it starts on, for JSON Lines; 0 for an element of a
  // document.
  int line = 0;
};

// The objects of an input that holds one object, an array of objects, or
// JSON Lines (one object per line; blank lines are skipped). Throws
// InputError naming the line of a malformed JSON Lines entry, or the line
// and column of a fault in a document, or a key an object gives twice.
std::vector<InputValue> ParseObjects(const std::string& text, const std::string& name);

}  // namespace apartado::host_json
