#include "apartado/number_text.h"

#include <cstdio>

namespace apartado {

std::string NumberText(double value) {
  if (value == 0) value = 0;  // no "-0"
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  return buffer;
}

}  // namespace apartado
