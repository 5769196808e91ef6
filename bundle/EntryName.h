// The names a bundle may give its files: relative paths that stay below the
// folder the bundle is unpacked into, the same on every system.
#pragma once

#include <string>
#include <string_view>

// Why name cannot be the path of a file or folder of a bundle ("MB/bank0.hex"
// can): empty when it is safe. A safe name is UTF-8, not absolute, has no
// "\\", no control character, and no empty, "." or ".." part.
std::string EntryNameProblem(std::string_view name);
