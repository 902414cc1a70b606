// A request from the machine's panel for a program restarted from a block.
#include <gtest/gtest.h>

#include "transfer/service/program_request.h"

using namespace korvane;

TEST(ProgramRequest, ReadsTheBlockALoadRestartsFrom) {
  const struct {
    const char* line;
    const char* program;  // "" for no request
    const char* from;
  } cases[] = {
      {"O9999(LOAD O1234 N500)", "O1234", "N500"}, {"(load 1234 n20)", "O1234", "N20"},
      {"(LOAD O1234N500)", "O1234", "N500"},       {"(LOAD O1234 TOOL3)", "O1234", "tool:3"},
      {"( Load o77 tool 12 )", "O0077", "tool:12"}, {"(LOAD O1234)", "O1234", ""},
      {"(LOAD O1234 N)", "", ""},                   {"(LOAD O1234 X500)", "", ""},
  };
  for (const auto& c : cases) {
    const auto request = findProgramRequest({"%", QString::fromLatin1(c.line), "M30"});
    EXPECT_EQ(request ? request->program : QString(), QString::fromLatin1(c.program)) << c.line;
    EXPECT_EQ(request ? request->from : QString(), QString::fromLatin1(c.from)) << c.line;
  }
}
