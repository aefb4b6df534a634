#pragma once

// Host time, in ticks.
using TimeValue = int;

// A host time interval.
struct AnimRange {
    TimeValue start = 0;
    TimeValue end = 0;

    TimeValue Start() const { return start; }
    TimeValue End() const { return end; }
};
