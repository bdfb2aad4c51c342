#pragma once
// The commands of zelt: each runs on the shared exchanges and returns the
// exit code (0 done, 1 the exchange failed, 2 wrong usage, 130 interrupted).
#include <QStringList>
#include <cstdio>

namespace zelt::cli {

// Runs the command line (the arguments after the program name); results go
// to out, progress and reasons to err.
int runZelt(const QStringList& args, std::FILE* out = stdout, std::FILE* err = stderr);

}  // namespace zelt::cli
