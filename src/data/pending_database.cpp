// Placeholder so the library links while the database backends are written.
#include "apartado/database.h"
#include "apartado/failure.h"

namespace apartado {
struct Database::Impl {};
std::unique_ptr<Database> Database::Open(const std::string&) { throw Failure("not built yet"); }
Database::Database(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Database::~Database() = default;
}  // namespace apartado
