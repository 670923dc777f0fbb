#pragma once

namespace kestrin {

// Runs the program: returns its exit status.
int RunKestrin(int argc, char** argv);

} // namespace kestrin
