// The one-line text that the installing look shows after a run that did not succeed.
#pragma once

#include <string>

#include "engine/install_outcome.h"

// What happened, in code page 936, for a run that ended unsuccessfully. A run that reports failure
// although its walk was complete still says that the install did not finish.
std::string FailedEndText(const InstallOutcome& outcome);
