// The run report's JSON schema as the README documents it, checked on every
// report the end-to-end runs leave.
#pragma once

#include <QJsonObject>

#include <string>
#include <vector>

// What in the report departs from the documented schema; empty when nothing does.
std::vector<std::string> ReportSchemaFaults(const QJsonObject& report);

// Every ".json" file of the folder parses, follows the schema and has its ".log";
// the number of reports found.
int CheckReportsFollowTheSchema(const std::string& folder);
