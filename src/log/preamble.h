// The diagnostic report at the top of every installer log file.
#pragma once

#include "packages/operation.h"

// Writes the first line and the machine report into request.LogPath; nothing when it is empty or under Wine.
void WriteDiagnosticPreamble(const OperationRequest& request);
