// The capture loop: wait for each frame, save it, print the sensor's frame counter.
#pragma once

#include "options.h"

class CaptureDevice;
class RawOutput;
struct SensorEntry;

// Catches SIGINT so that an interrupted capture ends after its last whole frame.
void installInterruptHandler();
bool interrupted();

// Captures settings.frameCount frames (fewer when interrupted). Returns the frames captured.
unsigned long captureFrames(CaptureDevice &device, const SensorEntry &sensor,
                            const CaptureSettings &settings, RawOutput &output);

// The sensor's frame counter as the table entry describes it.
uint32_t readFrameCounter(const SensorEntry &sensor);
