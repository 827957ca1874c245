// Shared by both sides of platform/: asks the test hook whether to fail a file call.
#pragma once
#include "platform/file.h"

bool FileFaultInjected(FileOp op);
// The system's answer to FileReplaceInOneStep unless a test has set one.
bool FileReplaceInOneStepOr(bool system);
