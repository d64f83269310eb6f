#pragma once

#include <string>
#include <vector>

// The program's arguments with paths in the host's own spelling, as the server's ServedFolder
// takes them: on POSIX the bytes given; on Windows UTF-8 from the wide command line, since the
// code page's argv would already have lost a folder name it lacks. One implementation per
// platform (CommandLine_posix.cpp, CommandLine_win32.cpp).
std::vector<std::string> CommandLine(int argc, char** argv);
