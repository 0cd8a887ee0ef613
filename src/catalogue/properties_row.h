// The raw read of a descriptor table, as the isolated reader's child process does it, and the
// form in which the child hands it to the parent. Internal to the catalogue and its fuzz target.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace zeph::cat {

struct PropertiesRow {
    enum Stage { OpenFailed, QueryFailed, NoRow, Row } stage = OpenFailed;
    std::string error;  // why the open or the query failed
    // The first row's values as text by column name (case as stored); nullopt: NULL.
    std::map<std::string, std::optional<std::string>> columns;
};

// Runs "SELECT * FROM Properties;" in this process: only for a process that may crash.
PropertiesRow ReadPropertiesRow(const std::string& path);

// The read in the isolated reader process: nullopt when the reader crashed, hung, ran out of
// memory or answered garbage.
std::optional<PropertiesRow> ReadIsolated(const std::string& path);

// The child's reply; DecodeReply gives nullopt for anything that is not a whole reply.
std::string EncodeReply(const PropertiesRow& row);
std::optional<PropertiesRow> DecodeReply(const std::string& reply);

}  // namespace zeph::cat
