// A writer of small Jet 4 databases (one user table, at most one row) for tests and benchmarks.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zeph::jet {

enum class ColumnType { Text, Long, Date, Double };

struct Column {
    std::string name;
    ColumnType type = ColumnType::Text;
    // The row's value as text (a date as YYYY-MM-DDTHH:MM:SS); nullopt writes NULL.
    std::optional<std::string> value;
};

struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The whole file: header page, catalogue (MSysObjects) and the table with its row, if any.
std::string WriteDatabase(const std::string& table, const std::vector<Column>& columns, bool withRow);

}  // namespace zeph::jet
