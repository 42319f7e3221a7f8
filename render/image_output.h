// The renderer's images: the last frame as a PNG, the animation as a GIF. Both decode the
// surface through its layout to RGB.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include <gif_lib.h>

#include "headless.h"

// Writes the surface of run as an 8-bit RGB PNG to file.
bool write_png(FILE* file, const HeadlessRun* run, std::string& error);

// An animated GIF under construction. Delays are kept in whole centiseconds, carrying the
// rounding remainder so that the delays add up to the run's time.
struct GifOutput {
    GifFileType* gif = nullptr;
    double shown_seconds = 0.0;      // time covered by the images written so far
    long long shown_centiseconds = 0;  // the sum of their delays
};

// Takes over fd (giflib closes it): the screen, and a loop-forever extension.
bool gif_begin(GifOutput& out, int fd, std::string& error);

// Adds the current surface as one image shown for seconds.
bool gif_add_image(GifOutput& out, const HeadlessRun* run, double seconds, std::string& error);

// Finishes the file and closes it. Called once, also after a failure (to free giflib's state).
bool gif_end(GifOutput& out, std::string& error);
