// Subcommands of corvane-tool. Each takes the arguments after its own name and
// returns the process exit code: 0 success, 1 failure, 2 wrong usage.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

int RunHexSum(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunConvertSvf(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunPlan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunBundle(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunTranslate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
