#pragma once

// APARTADO_EXPORT marks the public API of the shared libraries. They are
// built with every other symbol hidden, so a host links only against what the
// headers under include/apartado/ offer, and the internals can change without
// breaking it. APARTADO_LOCAL keeps a private member of an exported class out
// of that API: the class must declare it, no host may call it.
#if defined(__GNUC__) || defined(__clang__)
#define APARTADO_EXPORT __attribute__((visibility("default")))
#define APARTADO_LOCAL __attribute__((visibility("hidden")))
#else
#define APARTADO_EXPORT
#define APARTADO_LOCAL
#endif
