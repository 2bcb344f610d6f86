// Entry point of Kelvak on Windows: the command-line exporter for its options, the windows
// otherwise. Arguments arrive as UTF-16 and are handed on as the UTF-8 the program
// speaks; messages go out as UTF-8, which the console is told to show.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "text/win32_strings.h"
#include "win32/application.h"

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  try {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(kelvak::utf8OfWide(argv[i]));
    std::vector<const char*> pointers;
    for (const std::string& a : args) pointers.push_back(a.c_str());
    pointers.push_back(nullptr);
    if (const std::optional<int> code = kelvak::runCommandLine(argc, pointers.data())) return *code;
    return kelvak::win32::runWindows();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kelvak: %s\n", e.what());
    return kelvak::kExitFailure;
  }
}
