#pragma once
// Every figure the benchmark measures, one function a row of main's table
// (Main.cpp), grouped by what they measure, one file a group.

#include "bench/Harness.h"
#include "bench/Measurement.h"

// LatencyFigures.cpp: from a code to the host.
Figure DispatchLatency(Bench& bench);
Figure EndToEndLatency(Bench& bench);

// TimingFigures.cpp: repeats and releases against the key rules' timings.
Figure TimingConformance(Bench& bench);
Figure OwnPaceConformance(Bench& bench);
Figure TimingPrecision(Bench& bench);
Figure PlainWaitPrecision(Bench& bench);

// StopFigures.cpp: how soon Stop returns.
Figure StopLatency(Bench& bench);

// WakeupFigures.cpp: how often the DispatchThread wakes, and the CPU time.
Figure IdleCost(Bench& bench);
Figure HeldKeyWakeups(Bench& bench);

// AllocationFigures.cpp: heap allocations on the plug-in's threads.
Figure AllocationsPerCode(Bench& bench);

// DialogFigures.cpp: how soon the setup dialog shows.
Figure DialogWithLargeKeyMap(Bench& bench);
