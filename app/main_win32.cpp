// Entry point of Kelvak on Windows. The windows are not built for Windows yet: the program is the
// command-line exporter. Arguments arrive as UTF-16 and are handed on as the UTF-8 the program
// speaks; messages go out as UTF-8, which the console is told to show.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "text/win32_strings.h"

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  try {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(kelvak::utf8OfWide(argv[i]));
    std::vector<const char*> pointers;
    for (const std::string& a : args) pointers.push_back(a.c_str());
    pointers.push_back(nullptr);
    if (const std::optional<int> code = kelvak::runCommandLine(argc, pointers.data())) return *code;
    std::fputs(
        "kelvak: this Windows build has no window yet: kelvak --export FILE [options] "
        "writes a lesson (kelvak --help lists the options)\n",
        stderr);
    return kelvak::kExitUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kelvak: %s\n", e.what());
    return kelvak::kExitFailure;
  }
}
