#pragma once

namespace horvex::cli {

// The command line: `horvex` with options runs one command without any
// window and without a display, and returns its exit code.
int run(int argc, char* argv[]);

} // namespace horvex::cli
