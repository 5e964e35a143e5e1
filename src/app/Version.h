#pragma once
#include <QString>

// The program's version ("1.0.0") and the commit it was built from ("unknown"
// when it was built outside git). Both are fixed when the build is configured.
QString RydolVersion();
QString RydolCommit();
