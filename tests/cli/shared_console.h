// Windows: the console the tests share with the tovrin-cli they start, where a Ctrl-C or typed
// keys can reach the child.
#pragma once

namespace tovrin::testing {

// Makes a console of the test's own when it has none (under Wine, from ctest), once; the test
// itself never takes a Ctrl-C. Its children inherit that, and tovrin-cli takes Ctrl-C back.
void share_console();

}  // namespace tovrin::testing
