// Building a Windows command line from separate arguments, as CommandLineToArgvW splits it again.
#ifndef KCC_TOOLS_BENCH_COMMAND_LINE_H
#define KCC_TOOLS_BENCH_COMMAND_LINE_H

#include <string>
#include <vector>

namespace bench {

// One argument, quoted only when it needs it (empty, or holding white space or a quote); inside
// quotes a run of backslashes is doubled before a quote and before the closing quote.
std::wstring QuoteArgument(const std::wstring& argument);

// The arguments quoted and joined with single spaces.
std::wstring JoinCommandLine(const std::vector<std::wstring>& arguments);

} // namespace bench

#endif
