// The named event by which the shell-open target says it was started.
#pragma once

constexpr char kShellOpenTargetEvent[] = "QuimbleShellOpenTargetStarted";
