// Programs of the system that some tests run (minisign, lintian, dpkg-deb ...).
#pragma once

#include <string>

// The program's path in a folder of PATH; empty when it is not installed.
std::string FindProgram(const std::string& name);
